// The page's demo in Debian's Chromium: every run writes and shows exactly
// what corvane-sim writes down for its scenario (the status texts, the bar
// block by block, the closing), with the loader's pause taking its eight
// seconds; Start, Exit and keys given during a run are dropped; Exit, and a
// run that closes the window, end the page's session; a remote that cannot
// be opened brings its box; a browser without WebUSB is told which have it;
// the screen is kept on for exactly the run. CORVANE_SIM names corvane-sim.
import assert from 'node:assert/strict';
import {execFileSync} from 'node:child_process';
import {after, before, test} from 'node:test';

import {launch, openPage, runEnded, serveSite, site, transcriptOf} from './browser.mjs';

let browser;
let stopServing;
before(async () => {
  stopServing = await serveSite();
  browser = await launch();
});
after(async () => {
  await browser?.close();
  stopServing?.();
});

const simulated = (scenario) =>
  execFileSync(process.env.CORVANE_SIM, [scenario], {encoding: 'utf8'})
      .split('\n').filter((line) => line && !line.startsWith('#')).map((line) => `${line}\n`)
      .join('');

// What follows the run: the window stays, it closes (a box says why, then
// the session ends), or a box says why the remote could not be opened.
const cases = [
  ['direct', 'stays'],
  ['loader', 'stays'],
  ['no-remote', 'stays'],
  ['probe-nak', 'stays'],
  ['identity-bad-echo', 'closes'],
  ['block-silent', 'closes'],
  ['probe-write-fails', 'stays'],
  ['no-permission', 'cause'],
];

for (const [scenario, ending] of cases) {
  test(`demo ${scenario}`, async () => {
    const page = await openPage(browser.context, `?demo=${scenario}`);
    assert.equal(await page.title(), 'Demo - Corvane Firmware Updater');
    const started = Date.now();
    await page.click('#startBT');
    if (scenario === 'direct' || scenario === 'loader') {
      await page.click('#startBT');
      await page.click('#exitBT');
      await page.keyboard.press('Enter');
      assert.ok(await page.evaluate(() => document.body.classList.contains('running')));
    }
    await runEnded(page, ending === 'closes');
    const transcript = await transcriptOf(page);
    assert.equal(transcript, simulated(scenario));
    if (scenario === 'loader') {
      assert.ok(Date.now() - started > 8000, 'the restart pause');
    }
    const status = transcript.match(/^status (.*)$/m)[1];
    assert.equal(await page.textContent('#Label2'), status);
    assert.equal(await page.isVisible('#ended'), ending === 'closes');
    assert.equal(await page.isVisible('#exitBT'), ending !== 'closes');
    const box = ending === 'cause' ? await page.textContent('.box') : '';
    assert.match(box, ending === 'cause' ? /70-corvane-remote\.rules/ : /^$/);
    if (ending === 'stays') {
      await page.click('#exitBT');
      assert.ok(await page.isVisible('#ended'));
      assert.equal(await page.textContent('#Label2'), status);
    }
    await page.close();
  });
}

// A page whose browser lacks what `stub` takes away or stands in for.
async function openWith(stub, query) {
  const page = await browser.context.newPage();
  await page.addInitScript(stub);
  await page.goto(`${site}${query}`);
  await page.waitForSelector('#startBT');
  return page;
}

test('a browser without WebUSB says which browsers have it, before Start', async () => {
  const page = await openWith(() => delete Navigator.prototype.usb, '');
  assert.match(await page.textContent('.box'), /Chrome, Edge, Opera.*Firefox and Safari have no/s);
  assert.match(await page.textContent('.box'), /corvane-updater\.exe/);
  await page.close();
});

test('the screen is kept on for the run only', async () => {
  const page = await openWith(() => {
    window.locks = [];
    Object.defineProperty(Navigator.prototype, 'wakeLock', {
      value: {
        request: async (type) => {
          const lock = {type, released: false, release: async () => { lock.released = true; }};
          window.locks.push(lock);
          return lock;
        },
      },
    });
  }, '?demo=direct');
  await page.click('#startBT');
  await page.waitForFunction(() => window.locks.length === 1);
  const held = () => window.locks.map(({type, released}) => ({type, released}));
  assert.deepEqual(await page.evaluate(held), [{type: 'screen', released: false}]);
  await runEnded(page, false);
  await page.waitForFunction(() => window.locks[0].released);
  assert.deepEqual(await page.evaluate(held), [{type: 'screen', released: true}]);
  await page.close();
});
