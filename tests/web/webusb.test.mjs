// The page on WebUSB in Debian's Chromium, against the simulated remote on
// the project's umockdev bus (web_testbed, which CORVANE_WEB_TESTBED
// names): for each case the page writes and shows, byte for byte, what the
// libusb backend writes and shows on the same remote, and its remote
// receives the same; the page holds nothing of the remote afterwards. The
// cases: a direct update, the loader path with the remote found again after
// its restart, a block never answered (Error #003), a probe never answered
// and one answered late (a transfer that timed out takes no reply meant for
// a later read), the remote pulled out in the middle, and one another
// program holds, which brings the box that says so. A managed policy
// lets the page use the remote without the browser's chooser; it is
// installed for the test and removed again.
import assert from 'node:assert/strict';
import {spawn} from 'node:child_process';
import {mkdirSync, rmSync, writeFileSync} from 'node:fs';
import {createInterface} from 'node:readline';
import {after, before, test} from 'node:test';

import {launch, runEnded, serveSite, transcriptOf} from './browser.mjs';

const policy = '/etc/chromium/policies/managed/corvane-webusb-test.json';
let stopServing;
before(async () => {
  mkdirSync('/etc/chromium/policies/managed', {recursive: true});
  writeFileSync(policy, JSON.stringify({
    WebUsbAllowDevicesForUrls: [{
      devices: [{vendor_id: 0xec4b, product_id: 0x7a10}],
      urls: ['http://localhost:8765'],
    }],
  }));
  stopServing = await serveSite();
});
after(() => {
  rmSync(policy, {force: true});
  stopServing?.();
});

// The case, and whether its run closes the window.
const cases = [['direct', false], ['loader', false], ['block-silent', true],
               ['probe-silent', false], ['late-reply', false], ['unplugged', true],
               ['held-elsewhere', false]];

for (const [name, closesWindow] of cases) {
  test(`webusb ${name}`, async () => {
    const bed = spawn('umockdev-wrapper', [process.env.CORVANE_WEB_TESTBED, name],
                      {stdio: ['pipe', 'pipe', 'inherit']});
    const lines = createInterface({input: bed.stdout})[Symbol.asyncIterator]();
    try {
      const libusb = JSON.parse((await lines.next()).value);
      // In one process: under umockdev a process Chromium forks hangs now
      // and then as it starts (one start in seven here), and one process
      // forks none.
      const browser = await launch(
          {...process.env, LD_PRELOAD: libusb.preload, UMOCKDEV_DIR: libusb.umockdev}, '',
          ['--single-process']);
      try {
        const {page} = browser;
        await page.click('#startBT');
        await runEnded(page, closesWindow);
        assert.equal(await transcriptOf(page), libusb.transcript);
        const box = await page.locator('.box').allTextContents();
        assert.match(box.join(), name === 'held-elsewhere' ? /another program or browser tab/ : /^$/);
      } finally {
        await browser.close();
      }
    } finally {
      bed.stdin.end('done\n');
    }
    const remote = JSON.parse((await lines.next()).value);
    assert.deepEqual(remote, {...remote, sameImages: true, violations: [], claimed: 0, urbs: 0});
  });
}
