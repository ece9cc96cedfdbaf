// Debian's Chromium, headless, driven by Playwright, and the site served as
// scripts/serve-web serves it, for the page's tests.
import {spawn} from 'node:child_process';
import {mkdtempSync, readdirSync, readFileSync, rmSync} from 'node:fs';
import {tmpdir} from 'node:os';
import path from 'node:path';
import {chromium} from 'playwright-core';

export const site = 'http://localhost:8765/';
const root = path.resolve(new URL('.', import.meta.url).pathname, '../..');

const answers = () => fetch(site).then((answer) => answer.ok, () => false);

// Serves build/web/site until the returned function is called.
export async function serveSite() {
  if (await answers()) {
    throw new Error(`something else serves ${site} already`);
  }
  const server = spawn('python3', ['-m', 'http.server', '8765', '--bind', '127.0.0.1',
                                   '--directory', path.join(root, 'build/web/site')],
                       {stdio: 'ignore'});
  for (let tries = 0; tries < 50; ++tries) {
    if (await answers()) {
      return () => server.kill();
    }
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
  server.kill();
  throw new Error('the site was not served on port 8765');
}

// The processes that run with `profile`: Chromium passes its profile on to
// the processes it starts.
function processesOf(profile) {
  return readdirSync('/proc').filter((pid) => /^\d+$/.test(pid)).filter((pid) => {
    try {
      return readFileSync(`/proc/${pid}/cmdline`, 'utf8').includes(profile);
    } catch {
      return false;  // gone meanwhile
    }
  });
}

// Opens the page with `query`, its window drawn.
export async function openPage(context, query = '') {
  const page = await context.newPage();
  await page.goto(site + query, {timeout: 10000});
  await page.waitForSelector('#startBT', {timeout: 10000});
  return page;
}

// A browser context on a profile of its own, its processes given `env` and
// Chromium `flags` beside the usual, its close, which removes the profile,
// and the page opened with `query` where one is given. Starting it and
// opening the page have a deadline, and are tried once more on a fresh
// profile, since under umockdev a forked process may hang as it starts;
// whatever a failed try left is ended by its process id.
export async function launch(env = process.env, query = null, flags = []) {
  for (let attempt = 1;; ++attempt) {
    const profile = mkdtempSync(path.join(tmpdir(), 'corvane-chromium-'));
    let context = null;
    try {
      context = await chromium.launchPersistentContext(profile, {
        executablePath: '/usr/bin/chromium',
        headless: true,
        env,
        timeout: 15000,
        // As root, without the sandbox; nothing that reaches beyond this
        // machine, whose network is closed.
        args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
               '--disable-background-networking', '--disable-component-update', '--disable-sync',
               ...flags],
      });
      const page = query === null ? null : await openPage(context, query);
      return {
        context,
        page,
        async close() {
          await context.close();
          rmSync(profile, {recursive: true, force: true});
        },
      };
    } catch (error) {
      processesOf(profile).forEach((pid) => process.kill(Number(pid), 'SIGKILL'));
      await context?.close().catch(() => {});
      rmSync(profile, {recursive: true, force: true});
      if (attempt === 2) {
        throw error;
      }
      console.log(`# Chromium did not start in time (${error.message.split('\n')[0]}); once more`);
    }
  }
}

// What the page's last run wrote and showed, as corvane-sim writes it down.
export const transcriptOf = (page) => page.evaluate(() => UTF8ToString(Module._corvane_transcript()));

// Waits for the run to end; a box after it that waits for OK is dismissed.
export async function runEnded(page, closesWindow) {
  if (closesWindow) {
    await page.click('.box button');
  }
  await page.waitForFunction(() => !document.body.classList.contains('running'), null,
                             {timeout: 60000});
}
