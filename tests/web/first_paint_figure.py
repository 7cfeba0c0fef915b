#!/usr/bin/python3
"""Figure: the page of a user whose journal holds 1,000,000 events, in
headless Chromium. Prints the time to first contentful paint and the time
until the chart is drawn (median of the loads), and the service's time for
the chart's data.

    cmake --build --preset native --target zentrik-service
    /usr/bin/python3 tests/web/first_paint_figure.py [EVENTS] [LOADS]

The events are finished runs (a start and a stop each) spread evenly over
the last 400 days, written straight into the SQLite database in one
transaction before the page is loaded.
"""

import os
import statistics
import sys
import time
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import zentrik_web as zw  # noqa: E402

from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.support.ui import WebDriverWait  # noqa: E402

EVENTS = int(sys.argv[1]) if len(sys.argv) > 1 else 1_000_000
LOADS = int(sys.argv[2]) if len(sys.argv) > 2 else 5
DAYS = 400
TASKS = ["Projet %02d" % n for n in range(1, 13)] + ["Réunion équipe"]


def fill(service):
    runs = EVENTS // 2
    now = int(time.time() * 1000)
    first = now - DAYS * zw.DAY_MS
    step = (now - first) // runs
    started = time.time()
    zw.add_runs(service.database, "bench",
                ((TASKS[i % len(TASKS)], first + i * step, first + i * step + step * 3 // 4)
                 for i in range(runs)))
    return time.time() - started


def main():
    os.environ["TZ"] = "Europe/Paris"
    service = zw.ServiceProcess()
    driver = None
    try:
        service.add_user("bench", "bench-pw", "Banc d'essai")
        print(f"filled {EVENTS} events in {fill(service):.1f} s")
        driver = zw.chromium()
        driver.get(service.page)
        WebDriverWait(driver, 10).until(lambda d: d.find_element(By.ID, "signin").is_displayed())
        driver.find_element(By.ID, "signin-login").send_keys("bench")
        driver.find_element(By.ID, "signin-password").send_keys("bench-pw")
        driver.find_element(By.CSS_SELECTOR, "#signin-form button").click()
        WebDriverWait(driver, 60).until(
            lambda d: d.find_elements(By.CSS_SELECTOR, "#chart rect.bar"))

        paints, charts = [], []
        for _ in range(LOADS):
            driver.get(service.page)
            WebDriverWait(driver, 60).until(lambda d: d.execute_script(
                "return performance.getEntriesByName('zentrik-chart').length > 0"))
            paints.append(driver.execute_script(
                "return performance.getEntriesByName('first-contentful-paint')[0].startTime"))
            charts.append(driver.execute_script(
                "return performance.getEntriesByName('zentrik-chart')[0].startTime"))
        bars = len(driver.find_elements(By.CSS_SELECTOR, "#chart rect.bar"))

        cookie = driver.get_cookie("zentrik_web")["value"]
        timings = []
        for path in ("api/overview", "api/chart?weeks=4", "api/chart?weeks=13"):
            request = urllib.request.Request(service.page + path,
                                             headers={"Cookie": "zentrik_web=" + cookie})
            started = time.time()
            with urllib.request.urlopen(request) as reply:
                reply.read()
            timings.append((path, (time.time() - started) * 1000))

        print(f"journal: {EVENTS} events; chart of 4 weeks: {bars} bars")
        print(f"first contentful paint: median {statistics.median(paints):.0f} ms "
              f"(min {min(paints):.0f}, max {max(paints):.0f}, {LOADS} loads)")
        print(f"chart drawn:            median {statistics.median(charts):.0f} ms "
              f"(min {min(charts):.0f}, max {max(charts):.0f})")
        for path, ms in timings:
            print(f"{path}: {ms:.0f} ms")
    finally:
        if driver:
            zw.close_chromium(driver)
        service.stop()


if __name__ == "__main__":
    main()
