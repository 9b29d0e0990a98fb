#!/usr/bin/env python3
# The status page in headless Chromium, driven over its DevTools pipe: enters the token in the
# page's form, sees every channel's title, and sees a channel's caption change within two
# seconds of the moment its item starts; then takes a desktop and a phone screenshot.
#   status_page.py URL TOKEN TITLES CHANNEL CAPTION START_UNIX_MS DESKTOP_PNG PHONE_PNG
# TITLES is a comma-separated list; CHANNEL the index whose caption must become CAPTION.
import base64
import json
import os
import subprocess
import sys
import tempfile
import time

url, token, titles, channel, caption, start_ms, desktop_png, phone_png = sys.argv[1:9]
titles = titles.split(',')
channel = int(channel)
start_ms = int(start_ms)


class Browser:
    def __init__(self, profile):
        to_browser_r, self.to_browser = os.pipe()
        self.from_browser, from_browser_w = os.pipe()
        # Chromium reads commands on fd 3 and writes answers on fd 4.
        def fds():
            os.dup2(to_browser_r, 3)
            os.dup2(from_browser_w, 4)
        self.process = subprocess.Popen(
            ['chromium', '--headless=new', '--no-sandbox', '--disable-gpu', '--no-first-run',
             '--disable-background-networking', '--disable-component-update', '--disable-sync',
             '--user-data-dir=' + profile, '--remote-debugging-pipe', '--hide-scrollbars',
             '--font-render-hinting=none', 'about:blank'],
            preexec_fn=fds, close_fds=False, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_browser_r)
        os.close(from_browser_w)
        self.buffer = b''
        self.next_id = 0
        self.session = None

    def send(self, method, params=None, session=True):
        self.next_id += 1
        message = {'id': self.next_id, 'method': method, 'params': params or {}}
        if session and self.session:
            message['sessionId'] = self.session
        os.write(self.to_browser, json.dumps(message).encode() + b'\0')
        while True:
            while b'\0' not in self.buffer:
                chunk = os.read(self.from_browser, 1 << 20)
                if not chunk:
                    raise RuntimeError('the browser went away')
                self.buffer += chunk
            raw, self.buffer = self.buffer.split(b'\0', 1)
            answer = json.loads(raw)
            if answer.get('id') == self.next_id:
                if 'error' in answer:
                    raise RuntimeError(method + ': ' + json.dumps(answer['error']))
                return answer.get('result', {})

    def open(self, address):
        target = self.send('Target.createTarget', {'url': 'about:blank'}, session=False)['targetId']
        self.session = self.send('Target.attachToTarget', {'targetId': target, 'flatten': True}, session=False)['sessionId']
        self.send('Page.enable')
        self.send('Runtime.enable')
        self.send('Page.navigate', {'url': address})

    def evaluate(self, expression):
        result = self.send('Runtime.evaluate', {'expression': expression, 'returnByValue': True})
        return result.get('result', {}).get('value')

    def size(self, width, height, mobile):
        self.send('Emulation.setDeviceMetricsOverride',
                  {'width': width, 'height': height, 'deviceScaleFactor': 1, 'mobile': mobile})

    def screenshot(self, path):
        height = self.evaluate('Math.ceil(document.documentElement.scrollHeight)') or 800
        data = self.send('Page.captureScreenshot', {'format': 'png', 'captureBeyondViewport': True,
                                                    'clip': {'x': 0, 'y': 0, 'width': self.width, 'height': height, 'scale': 1}})['data']
        with open(path, 'wb') as f:
            f.write(base64.b64decode(data))

    def close(self):
        try:
            self.send('Browser.close', session=False)
        except Exception:
            pass
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()


def wait_for(browser, expression, seconds, what):
    deadline = time.time() + seconds
    while time.time() < deadline:
        value = browser.evaluate(expression)
        if value:
            return value
        time.sleep(0.1)
    sys.exit('not seen within %d s: %s' % (seconds, what))


with tempfile.TemporaryDirectory() as profile:
    browser = Browser(profile)
    try:
        browser.width = 1280
        browser.open(url)
        browser.size(1280, 900, False)
        # No token yet: the page asks for one; it is typed into the form and sent.
        wait_for(browser, "!document.getElementById('login').hidden", 15, 'the token form')
        browser.evaluate("document.getElementById('token').value = %s;"
                         "document.getElementById('login').requestSubmit(); true" % json.dumps(token))
        shown = wait_for(browser, "(function(){const t=[...document.querySelectorAll('.card .title')].map(e=>e.textContent);"
                                  "return t.length ? t : null})()", 15, 'the channel cards')
        for i, title in enumerate(titles):
            if not any(t.endswith('. ' + title) for t in shown):
                sys.exit('no card for channel %s in %s' % (title, shown))
        if browser.evaluate("localStorage.getItem('tessora-token')") != token:
            sys.exit('the token was not kept in local storage')
        caption_js = ("(function(){const c=document.querySelector('.card[data-channel=\"%d\"] .caption');"
                      "return c ? [c.textContent, Number(c.dataset.shownAt)] : null})()" % channel)
        before = browser.evaluate(caption_js)
        if before and before[0] == caption and time.time() * 1000 < start_ms:
            sys.exit('the caption showed the item before it started: %s' % before)
        # The item starts at start_ms; the page must show it within two seconds.
        seen = wait_for(browser, "(function(){const v=%s; return v && v[0]==%s ? v : null})()" % (caption_js, json.dumps(caption)),
                        max(5, (start_ms / 1000 - time.time()) + 6), 'the new caption ' + caption)
        late = seen[1] - start_ms
        print('caption "%s" shown %d ms after the item started' % (seen[0], late))
        if late > 2000:
            sys.exit('the caption changed %d ms after the item started' % late)
        # The pre-flight check's findings reach the page too.
        wait_for(browser, "document.getElementById('problems').textContent.includes('文件不存在')", 15,
                 'the missing file among the problems')
        time.sleep(1.5)  # levels on the gauges
        browser.screenshot(desktop_png)
        browser.width = 360
        browser.size(360, 740, True)
        time.sleep(1.2)
        wide = browser.evaluate('document.documentElement.scrollWidth')
        if wide > 360:
            sys.exit('the page is %d px wide on a 360 px phone' % wide)
        browser.screenshot(phone_png)
        # A token in the address's fragment is taken the same way, and leaves the address.
        browser.evaluate("localStorage.clear(); true")
        browser.send('Page.navigate', {'url': url.split('#')[0] + '#token=' + token})
        wait_for(browser, "document.querySelectorAll('.card').length == %d && location.hash == ''" % len(titles), 15,
                 'the cards from a token in the fragment')
    finally:
        browser.close()
print('ok')
