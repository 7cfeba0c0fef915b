#!/usr/bin/python3
"""Load figures of zentrik-service on loopback, with wrk.

Starts the service on a fresh SQLite database in a temporary folder, logs on
100 users, then runs wrk with 100 concurrent connections for DURATION seconds
each: once on the fixed-reply route (no database work) and once with
start/stop requests (each a journalled, committed write), and prints the
requests per second, the 99th percentile latency and their ratio. Then it
keeps the start/stop load going and prints the service's resident memory
after each further 100,000 requests.

    build/native/service/zentrik-service must exist (cmake --build --preset native)
    bench/service/load.py [--duration 10] [--database postgresql://...]
"""
import argparse, os, re, shutil, signal, socket, subprocess, sys, tempfile, time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BINARY = os.path.join(ROOT, "build/native/service/zentrik-service")
TOOLS = "/KOVReport/PluginTools/"


def free_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


def exchange(port, data):
    s = socket.create_connection(("127.0.0.1", port))
    s.sendall(data)
    out = b""
    while True:
        chunk = s.recv(4096)
        if not chunk:
            break
        out += chunk
    s.close()
    return out


def logon(port, login, password):
    body = ("l=%s&p=%s" % (login, password)).encode()
    request = (b"POST " + TOOLS.encode() + b"plg_connect.asp HTTP/1.0\n"
               b"Content-Type:application/x-www-form-urlencoded;\nHost: x\n"
               b"Content-Length: %d\n\n" % len(body)) + body + b"\n"
    reply = exchange(port, request)
    return int(reply.split(b"--Start--\r\n")[1].split(b";")[0])


def rss_kib(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def wrk(port, script, duration, path):
    out = subprocess.run(["wrk", "-t", "4", "-c", "100", "-d", "%ds" % duration, "--latency",
                          "-s", script, "http://127.0.0.1:%d%s" % (port, path)],
                         capture_output=True, text=True, check=True).stdout
    rate = float(re.search(r"Requests/sec:\s+([\d.]+)", out).group(1))
    total = int(re.search(r"(\d+) requests in", out).group(1))
    p99 = re.search(r"99%\s+([\d.]+)(us|ms|s)", out)
    scale = {"us": 0.001, "ms": 1.0, "s": 1000.0}[p99.group(2)]
    errors = re.search(r"Non-2xx or 3xx responses: (\d+)", out)
    socket_errors = re.search(r"Socket errors: (.*)", out)
    return rate, float(p99.group(1)) * scale, total, (errors.group(1) if errors else "0"), \
        (socket_errors.group(1) if socket_errors else "none")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--duration", type=int, default=10)
    parser.add_argument("--database", default="")
    parser.add_argument("--users", type=int, default=100)
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="zentrik-load-")
    database = args.database or os.path.join(work, "load.db")
    port = free_port()
    common = ["--database", database, "--password-cost", "minimal"]
    logins = ["load%d-%d" % (os.getpid(), i) for i in range(args.users)]
    for login in logins:
        subprocess.run([BINARY, "user", "add", login] + common, input="pw\n", text=True, check=True)
    server = subprocess.Popen([BINARY, "--port", str(port), "--listen", "127.0.0.1", "--fixed-route",
                               "--per-address-connections", "1000", "--admin-password", "x"] + common,
                              stdout=subprocess.DEVNULL)
    try:
        for _ in range(100):
            try:
                socket.create_connection(("127.0.0.1", port)).close()
                break
            except OSError:
                time.sleep(0.05)
        uids = [logon(port, login, "pw") for login in logins]
        script = os.path.join(work, "startstop.lua")
        with open(script, "w") as f:
            f.write("uids = {%s}\n" % ",".join(map(str, uids)))
            f.write("""n = 0
setup = function(thread) thread:set("first", math.random(1, 1000)) end
request = function()
    n = n + 1
    local uid = uids[(first + n) % #uids + 1]
    local fct = math.floor(n / #uids) % 2
    return wrk.format("GET", "TOOLSplg_mgrTasks.asp?uid=" .. uid .. "&fct=" .. fct ..
        "&task=T%20" .. (n % 3) .. "&time=" .. n .. "&date=20260315")
end
""".replace("TOOLS", TOOLS))
        plain = os.path.join(work, "plain.lua")
        with open(plain, "w") as f:
            f.write("")
        fixed = wrk(port, plain, args.duration, TOOLS + "plg_fixed.asp")
        db = wrk(port, script, args.duration, "/")
        print("100 connections, %d s each, 4 wrk threads, database %s" %
              (args.duration, "SQLite" if not args.database else args.database.split("@")[-1]))
        print("%-22s %12s %10s %10s %s" % ("route", "requests/s", "p99 ms", "non-2xx", "socket errors"))
        print("%-22s %12.0f %10.2f %10s %s" % ("fixed reply", fixed[0], fixed[1], fixed[3], fixed[4]))
        print("%-22s %12.0f %10.2f %10s %s" % ("start/stop", db[0], db[1], db[3], db[4]))
        print("start/stop : fixed = %.2f" % (db[0] / fixed[0]))

        served = fixed[2] + db[2]
        print("RSS after %7d requests: %6d KiB" % (served, rss_kib(server.pid)))
        for _ in range(3):
            goal = served + 100000
            while served < goal:
                served += wrk(port, script, max(1, args.duration // 2), "/")[2]
            print("RSS after %7d requests: %6d KiB" % (served, rss_kib(server.pid)))
    finally:
        server.send_signal(signal.SIGTERM)
        server.wait()
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
