// The page's script: reads the service's JSON and builds the page with DOM
// calls only (textContent, never innerHTML), so no value from the database
// is ever read as markup.
"use strict";

const state = { csrf: "", admin: false, users: [] };

const EVENT_NAMES = {
  start: "Démarrage", stop: "Arrêt", add: "Ajout", remove: "Suppression",
  autosave: "Sauvegarde", report: "Rapport", lowered: "Temps abaissé",
};
// The service's error codes, as the page tells them.
const ERRORS = {
  credentials: "Identifiant ou mot de passe incorrect.",
  limited: "Trop d'essais : réessayez dans une minute.",
  signin: "Votre session a expiré : reconnectez-vous.",
  csrf: "Requête refusée (jeton de session absent ou faux) : rechargez la page.",
  origin: "Requête refusée (autre site).",
  admin: "Réservé aux administrateurs.",
  exists: "Cet identifiant ou ce nom existe déjà.",
  unknown: "Utilisateur inconnu.",
  refused: "Refusé : vous ne pouvez pas retirer vos propres droits d'administrateur.",
  login: "Identifiant invalide (1 à 100 caractères Windows-1252).",
  password: "Mot de passe invalide (1 à 200 caractères Windows-1252).",
  display: "Nom affiché invalide (sans ; ni caractère hors Windows-1252).",
  task: "Nom de tâche invalide (sans ; ni caractère hors Windows-1252).",
  message: "Message invalide (2000 caractères Windows-1252 au plus).",
  database: "La base de données ne répond pas : réessayez.",
};
function errorText(reply) {
  return ERRORS[reply.data.error] || "Échec de l'opération (" + reply.status + ").";
}

const COLOURS = ["#3366cc", "#dc3912", "#ff9900", "#109618", "#990099", "#0099c6",
  "#dd4477", "#66aa00", "#b82e2e", "#316395", "#994499", "#22aa99"];

function $(id) { return document.getElementById(id); }

function el(tag, text, attrs) {
  const node = document.createElement(tag);
  if (text !== undefined && text !== null) node.textContent = String(text);
  for (const [k, v] of Object.entries(attrs || {})) node.setAttribute(k, v);
  return node;
}

function duration(s) {
  s = Math.max(0, Math.floor(s));
  const h = Math.floor(s / 3600), m = Math.floor((s - 3600 * h) / 60);
  return `${h}h ${m}m ${s - 3600 * h - 60 * m}s`;
}

function notice(text, isError) {
  const p = $("notice");
  p.textContent = text;
  p.className = isError ? "error" : "ok";
  p.hidden = !text;
}

// Every request carries the session's anti-forgery token; the service
// refuses a state-changing request without it.
async function api(method, path, fields) {
  const init = { method, credentials: "same-origin", headers: { "X-Zentrik-CSRF": state.csrf } };
  if (fields) init.body = new URLSearchParams(fields);
  const reply = await fetch(path, init);
  let data = {};
  try { data = await reply.json(); } catch (e) { data = {}; }
  return { status: reply.status, data };
}

function show(section, visible) { $(section).hidden = !visible; }

async function start() {
  const me = await api("GET", "api/me");
  if (me.status === 200) signedIn(me.data);
  else showSignIn();
}

function showSignIn() {
  state.csrf = "";
  show("signin", true); show("home", false); show("admin", false); show("who", false);
  $("signin-login").focus();
}

function signedIn(me) {
  state.csrf = me.csrf;
  state.admin = !!me.admin;
  $("who-name").textContent = me.display || me.login;
  show("who", true); show("signin", false); show("home", true); show("admin", state.admin);
  loadOverview();
  loadChart();
  if (state.admin) loadUsers();
}

async function signIn(event) {
  event.preventDefault();
  const form = new FormData(event.target);
  const reply = await api("POST", "api/signin", { l: form.get("l"), p: form.get("p") });
  const error = $("signin-error");
  if (reply.status === 200) {
    error.hidden = true;
    $("signin-password").value = "";
    signedIn(reply.data);
  } else {
    error.textContent = errorText(reply);
    error.hidden = false;
  }
}

async function signOut() {
  await api("POST", "api/signout", {});
  notice("");
  showSignIn();
}

async function loadOverview() {
  const reply = await api("GET", "api/overview");
  if (reply.status === 401) return showSignIn();
  if (reply.status !== 200) return notice(errorText(reply), true);
  const data = reply.data;
  const body = $("tasks").tBodies[0];
  body.replaceChildren();
  let running = null;
  for (const task of data.tasks) {
    const row = el("tr", null, { "data-task": task.name, "data-seconds": task.seconds });
    row.append(el("td", task.name), el("td", duration(task.seconds), { class: "num" }));
    if (task.running) { row.className = "is-running"; running = task; }
    body.append(row);
  }
  $("tasks-empty").hidden = data.tasks.length > 0;
  $("running").replaceChildren();
  if (running) {
    $("running").append("En cours : ", el("strong", running.name, { id: "running-name" }),
      " (" + duration(running.seconds) + (running.since ? ", depuis " + running.since : "") + ")");
  } else {
    $("running").textContent = "Aucune tâche en cours.";
  }

  $("journal-day").textContent = data.day;
  $("journal-offset").textContent = "(UTC" + data.offset + ")";
  const journal = $("journal").tBodies[0];
  journal.replaceChildren();
  for (const event of data.journal) {
    const row = el("tr", null, { "data-kind": event.kind });
    row.append(el("td", event.time, { title: event.utc + " UTC" }),
      el("td", EVENT_NAMES[event.kind] || event.kind), el("td", event.task),
      el("td", event.task ? duration(event.seconds) : "", { class: "num" }));
    journal.append(row);
  }
  $("journal-empty").hidden = data.journal.length > 0;
  $("journal-skipped").hidden = !data.skipped;
  $("journal-skipped").textContent = data.skipped + " événements plus anciens de ce jour ne sont pas affichés.";
}

const SVG = "http://www.w3.org/2000/svg";
function svg(tag, attrs, text) {
  const node = document.createElementNS(SVG, tag);
  for (const [k, v] of Object.entries(attrs)) node.setAttribute(k, v);
  if (text !== undefined) node.textContent = text;
  return node;
}

// One stacked bar per local day, one segment per task, in hours.
async function loadChart() {
  const weeks = $("weeks").value;
  $("csv").setAttribute("href", "timesheet.csv?weeks=" + encodeURIComponent(weeks));
  const reply = await api("GET", "api/chart?weeks=" + encodeURIComponent(weeks));
  if (reply.status !== 200) return notice(errorText(reply), true);
  const { days, rows } = reply.data;
  const names = [...new Set(rows.map(r => r.task))].sort();
  const colour = new Map(names.map((n, i) => [n, COLOURS[i % COLOURS.length]]));
  const byDay = new Map(days.map(d => [d, []]));
  for (const r of rows) if (byDay.has(r.day)) byDay.get(r.day).push(r);

  let top = 1;
  for (const list of byDay.values())
    top = Math.max(top, list.reduce((sum, r) => sum + r.seconds, 0) / 3600);
  top = Math.ceil(top);

  const left = 36, bottom = 40, height = 220, step = Math.max(8, Math.min(40, 1040 / days.length));
  const labelEvery = Math.ceil(38 / step);
  const width = left + step * days.length + 10;
  const chart = svg("svg", { width, height: height + bottom + 10, role: "img", id: "chart-svg" });
  for (let h = 0; h <= top; h += Math.max(1, Math.ceil(top / 6))) {
    const y = 10 + height - height * h / top;
    chart.append(svg("line", { x1: left, x2: width, y1: y, y2: y, class: "grid" }),
      svg("text", { x: left - 6, y: y + 4, class: "axis", "text-anchor": "end" }, h + " h"));
  }
  days.forEach((day, i) => {
    let y = 10 + height;
    for (const r of byDay.get(day).sort((a, b) => a.task < b.task ? -1 : 1)) {
      const h = height * r.seconds / 3600 / top;
      y -= h;
      const bar = svg("rect", { x: left + i * step + 1, y, width: step - 2, height: h,
        fill: colour.get(r.task), class: "bar", "data-day": day, "data-task": r.task,
        "data-seconds": r.seconds });
      bar.append(svg("title", {}, `${day} — ${r.task} : ${duration(r.seconds)}`));
      chart.append(bar);
    }
    if ((days.length - 1 - i) % labelEvery === 0) {
      chart.append(svg("text", { x: left + i * step + step / 2, y: height + 24, class: "axis",
        "text-anchor": "middle" }, day.slice(8) + "/" + day.slice(5, 7)));
    }
  });
  $("chart").replaceChildren(chart);
  $("chart-empty").hidden = rows.length > 0;
  $("legend").replaceChildren(...names.map(n => {
    const item = el("li", n);
    const swatch = el("span", null, { class: "swatch" });
    swatch.style.background = colour.get(n);
    item.prepend(swatch);
    return item;
  }));
  performance.mark("zentrik-chart");
}

async function loadUsers() {
  const reply = await api("GET", "api/users");
  if (reply.status !== 200) return notice(errorText(reply), true);
  state.users = reply.data.users;
  const body = $("users").tBodies[0];
  body.replaceChildren();
  for (const user of state.users) body.append(userRow(user));
  for (const id of ["catalogue-user", "message-user"]) {
    const select = $(id), keep = select.value;
    select.replaceChildren(...state.users.map(u => el("option", u.login, { value: u.login })));
    if (keep && state.users.some(u => u.login === keep)) select.value = keep;
  }
  showCatalogue();
  showMessage();
}

function showMessage() {
  const user = state.users.find(u => u.login === $("message-user").value);
  $("message-pending").textContent = user && user.message
    ? "En attente de la prochaine synchronisation : « " + user.message + " »"
    : "Aucun message en attente.";
}

function userRow(user) {
  const row = el("tr", null, { "data-login": user.login });
  const display = el("input", null, { name: "display", value: user.display });
  const admin = el("input", null, { type: "checkbox", name: "admin" });
  admin.checked = user.admin;
  const restricted = el("input", null, { type: "checkbox", name: "restricted" });
  restricted.checked = user.restricted;
  const password = el("input", null, { type: "password", name: "password",
    autocomplete: "new-password", placeholder: "nouveau" });
  const save = el("button", "Enregistrer", { type: "button", class: "save" });
  save.addEventListener("click", () => saveUser(user.login, display, admin, restricted, password));
  const cell = el("td"); cell.append(display);
  const cellAdmin = el("td"); cellAdmin.append(admin);
  const cellRestricted = el("td"); cellRestricted.append(restricted);
  const cellPassword = el("td"); cellPassword.append(password);
  const cellSave = el("td"); cellSave.append(save);
  row.append(el("td", user.login), cell, cellAdmin, cellRestricted, cellPassword, cellSave);
  return row;
}

// Sends one administrator's change, redraws the users from the service,
// then tells the outcome; true when it was done.
async function change(path, fields, done) {
  const reply = await api("POST", path, fields);
  await loadUsers();
  if (reply.status === 200) notice(done);
  else notice(errorText(reply), true);
  return reply.status === 200;
}

async function saveUser(login, display, admin, restricted, password) {
  const fields = { login, display: display.value, admin: admin.checked ? "1" : "0",
    restricted: restricted.checked ? "1" : "0" };
  const newPassword = password.value;
  if (await change("api/users/update", fields, "Utilisateur " + login + " enregistré.")
      && newPassword) {
    await change("api/users/password", { login, password: newPassword },
      "Mot de passe de " + login + " changé.");
  }
}

function showCatalogue() {
  const user = state.users.find(u => u.login === $("catalogue-user").value);
  const list = $("catalogue");
  list.replaceChildren();
  for (const task of user ? user.catalogue : []) {
    const item = el("li", null, { "data-task": task });
    item.append(el("span", task, { class: "name" }));
    const remove = el("button", "Retirer", { type: "button" });
    remove.addEventListener("click", () => change("api/catalogue/remove",
      { login: user.login, task }, "« " + task + " » retiré du catalogue."));
    item.append(" ", remove);
    list.append(item);
  }
}

function onSubmit(id, handler) {
  $(id).addEventListener("submit", async event => {
    event.preventDefault();
    const form = event.target;
    if (await handler(Object.fromEntries(new FormData(form)))) form.reset();
  });
}

document.addEventListener("DOMContentLoaded", () => {
  $("signin-form").addEventListener("submit", signIn);
  $("signout").addEventListener("click", signOut);
  $("weeks").addEventListener("change", loadChart);
  $("catalogue-user").addEventListener("change", showCatalogue);
  $("message-user").addEventListener("change", showMessage);
  onSubmit("user-add", f => change("api/users/add",
    { login: f.login, display: f.display, password: f.password, admin: f.admin ? "1" : "0" },
    "Utilisateur " + f.login + " ajouté."));
  onSubmit("catalogue-add", f => change("api/catalogue/add",
    { login: $("catalogue-user").value, task: f.task }, "« " + f.task + " » ajouté au catalogue."));
  onSubmit("message-form", f => {
    const login = $("message-user").value;
    return change("api/messages", { login, text: f.text }, "Message pour " + login + " enregistré.");
  });
  start();
});
