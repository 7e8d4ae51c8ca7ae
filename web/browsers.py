"""The browsers the page is tried in, driven by Selenium: headless Chromium,
and WebKit (Safari's engine) in its MiniBrowser, which needs an X display
(xvfb-run)."""

from selenium import webdriver


def start(browser):
    """A new session of "chromium" (with its performance and console logs) or
    "webkit"."""
    if browser == "chromium":
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        # A closed network: no background connections, nothing of Google's.
        for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-quic",
                         "--no-first-run", "--disable-background-networking",
                         "--disable-component-update", "--disable-sync",
                         "--disable-dev-shm-usage"):
            options.add_argument(argument)
        options.set_capability("goog:loggingPrefs", {"performance": "ALL", "browser": "ALL"})
        return webdriver.Chrome(options=options)
    options = webdriver.WebKitGTKOptions()
    options.binary_location = "/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser"
    options.add_argument("--automation")
    return webdriver.WebKitGTK(options=options, executable_path="/usr/bin/WebKitWebDriver")
