// The web library as a reader uses it: `scrivel-corpus serve` over the
// bundled sample, driven in headless Chromium. Stops at the first departure
// and says what was expected and what the page showed.
//
// Usage: node library.mjs <url> <sample-dir> <out-dir> <scrivel-corpus> [--write-screenshots DIR]
//
// <url> is the running server's (library.sh starts and stops it). The
// reading pages' text is compared with scrivel's HTML documents of the same
// works, written into <out-dir>/html; the pictures of the Iliad at 1.5 and of
// a search are left in <out-dir> and, with --write-screenshots, in DIR too.
//
// Exit status: 0 all checks passed, 1 a check failed, 77 playwright-core is
// missing.

import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { pathToFileURL } from 'node:url';

const chromiumPath = '/usr/bin/chromium';
const iliad = '/urn:cts:greekLit:tlg0012.tlg001';
const works = [
  { name: 'sv12_1', address: iliad },
  { name: 'sv12_2', address: '/urn:cts:greekLit:tlg0012.tlg002' },
];
const desktop = { width: 1000, height: 700 };
const phone = { width: 375, height: 740 };

class Departure extends Error {}
function check(condition, message) {
  if (!condition) throw new Departure(message);
  console.log(`ok: ${message}`);
}

const args = process.argv.slice(2);
const screenshotsAt = args.indexOf('--write-screenshots');
const screenshotDir = screenshotsAt >= 0 ? path.resolve(args[screenshotsAt + 1] ?? '.') : null;
if (screenshotsAt >= 0) args.splice(screenshotsAt, 2);
const [base, sample, out, scrivelCorpus] = args;
if (!scrivelCorpus) {
  console.log('usage: node library.mjs <url> <sample-dir> <out-dir> <scrivel-corpus> [--write-screenshots DIR]');
  process.exit(2);
}
const origin = new URL(base).origin;
const at = (address) => new URL(address, base).href;

let chromium;
try {
  ({ chromium } = await import('playwright-core'));
} catch {
  console.log('SKIPPED: playwright-core is missing (tests/readers/install.sh)');
  process.exit(77);
}

// The first line where two texts differ, with both versions of it.
function firstDifference(expected, actual) {
  const e = expected.split('\n');
  const a = actual.split('\n');
  const i = e.findIndex((line, k) => line !== a[k]);
  const line = i < 0 ? e.length : i;
  const shown = (s) => (s === undefined ? '(no line)' : JSON.stringify(s));
  return `line ${line + 1}:\n    document ${shown(e[line])}\n    library  ${shown(a[line])}`;
}

// The HTML documents of the sample's works, by the same program that indexed them.
function convertSample() {
  const dir = path.join(out, 'html');
  fs.rmSync(dir, { recursive: true, force: true });
  fs.mkdirSync(dir, { recursive: true });
  const result = spawnSync(scrivelCorpus, ['convert', '--corpus', sample, '--format', 'html', '--out', dir, '12'],
    { encoding: 'utf8', timeout: 60_000 });
  if (result.status !== 0) throw new Departure(`scrivel-corpus convert: status ${result.status}\n${result.stderr}`);
  return dir;
}

const visibleRows = (page) => page.locator('#authors tbody tr:visible').count();

// Types into the focused filter, after emptying it, and waits for the list to settle on `rows` rows.
async function filterBy(page, text, rows) {
  await page.keyboard.press('Control+A');
  await page.keyboard.press('Backspace');
  await page.keyboard.type(text);
  const shown = `${rows} ${rows === 1 ? 'author' : 'authors'}`;
  await page.waitForFunction(([n, said]) =>
    document.querySelectorAll('#authors tbody tr:not([hidden])').length === n &&
    document.getElementById('shown').textContent === said, [rows, shown]).catch(() => {});
  const count = await visibleRows(page);
  const said = await page.textContent('#shown');
  check(count === rows && said === shown,
    `the filter "${text}" leaves ${rows} row(s) and says "${shown}" (rows shown: ${count}, says "${said}")`);
}

// Tabs through the page until the focus is on a link to `address`, then follows it with Enter.
async function tabToAndEnter(page, address) {
  const href = at(address);
  for (let presses = 0; presses < 40; ++presses) {
    const focused = await page.evaluate(() => document.activeElement?.href ?? null);
    if (focused === href) {
      await page.keyboard.press('Enter');
      await page.waitForURL(href, { waitUntil: 'load' }).catch(() => {});
      check(page.url() === href, `Tab and Enter open ${address} (at ${page.url()})`);
      return;
    }
    await page.keyboard.press('Tab');
  }
  throw new Departure(`no link to ${address} is reached with Tab from ${page.url()}`);
}

// The line of `passage` is marked, highlighted and in view once the page's script has run.
async function checkMarked(page, passage) {
  const state = () => page.evaluate((id) => {
    const anchor = document.getElementById(id);
    if (!anchor) return null;
    const box = anchor.getBoundingClientRect();
    const highlight = window.CSS?.highlights?.get('passage');
    return {
      here: anchor.classList.contains('here'),
      inView: box.bottom > 0 && box.top < innerHeight && box.height > 0,
      highlighted: highlight ? [...highlight].map((range) => range.toString()).join('') : '',
      line: anchor.nextSibling?.textContent ?? '',
    };
  }, passage);
  await page.waitForFunction((id) => {
    const anchor = document.getElementById(id);
    const box = anchor?.getBoundingClientRect();
    return anchor?.classList.contains('here') && box.bottom > 0 && box.top < innerHeight;
  }, passage).catch(() => {});
  const seen = await state();
  check(seen !== null, `${page.url()} has the anchor ${passage}`);
  check(seen.here && seen.inView, `${passage} is marked "here" and in view (${JSON.stringify(seen)})`);
  check(seen.highlighted.includes(seen.line.trim()) && seen.line.trim() !== '',
    `the highlight holds line ${passage}'s text (${JSON.stringify(seen.highlighted)})`);
}

// Searches from the header's box, typing and pressing Enter, and opens the last hit.
async function searchAndOpen(page, query) {
  await page.goto(at(iliad), { waitUntil: 'load' });
  await page.focus('header input[name=q]');
  await page.keyboard.type(query);
  await page.keyboard.press('Enter');
  await page.waitForURL((url) => url.pathname === '/search', { waitUntil: 'load' }).catch(() => {});
  const searchPage = page.url();
  check(new URL(searchPage).searchParams.get('q') === query, `the header's box searches "${query}" (at ${searchPage})`);
  const hits = page.locator('ol.hits li');
  const count = await hits.count();
  const marked = await page.locator('ol.hits li mark').count();
  check(count > 0 && marked >= count, `"${query}": ${count} hit(s), each with a mark (${marked} marks; ` +
    `summary "${(await page.textContent('.summary'))?.trim()}")`);
  const link = hits.last().locator('a[href^="/urn:"]');
  const href = await link.getAttribute('href');
  await link.click();
  await page.waitForURL(at(href), { waitUntil: 'load' }).catch(() => {});
  check(page.url() === at(href), `the hit opens ${href} (at ${page.url()})`);
  await checkMarked(page, href.slice(href.lastIndexOf(':') + 1));
  return searchPage;
}

async function screenshot(page, name) {
  await page.screenshot({ path: path.join(out, name) });
  if (screenshotDir) {
    fs.mkdirSync(screenshotDir, { recursive: true });
    await page.screenshot({ path: path.join(screenshotDir, name) });
  }
}

const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'scrivel-library-'));
process.on('exit', () => fs.rmSync(scratch, { recursive: true, force: true }));
const context = await chromium.launchPersistentContext(scratch, {
  executablePath: chromiumPath, headless: true, viewport: desktop,
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking',
    '--disable-component-update', '--disable-sync'],
});
context.setDefaultTimeout(10_000);

// Every request a library page makes, and whatever goes wrong on one.
const elsewhere = [];
const refused = [];
const errors = [];
const fontFetches = [];
context.on('request', (request) => {
  const url = request.url();
  if (!url.startsWith('file:') && new URL(url).origin !== origin) elsewhere.push(url);
});
context.on('response', (response) => {
  const url = new URL(response.url());
  if (url.origin !== origin) return;
  if (url.pathname === '/static/greek.ttf') fontFetches.push(response.status());
  if (response.status() >= 400) refused.push(`${response.status()} ${url.href}`);
});
context.on('page', (page) => {
  page.on('pageerror', (error) => errors.push(`${page.url()}: ${error.message}`));
  page.on('console', (message) => {
    if (message.type() === 'error') errors.push(`${page.url()}: ${message.text()}`);
  });
});

let status = 0;
try {
  const page = context.pages()[0] ?? (await context.newPage());

  // The authors' list narrows as one types, in the box the page focuses.
  await page.goto(at('/'), { waitUntil: 'load' });
  check(await page.evaluate(() => document.activeElement?.id === 'filter'), 'the authors page focuses the filter');
  await filterBy(page, 'Home', 1);
  check((await page.textContent('#authors tbody tr:visible')).includes('Homerus'), 'the row left is Homerus');
  await filterBy(page, '12', 1);
  await filterBy(page, 'Odysseus', 0);
  await filterBy(page, '', 1);

  // From the list to the Iliad with the keyboard alone.
  await tabToAndEnter(page, '/tlg0012');
  await tabToAndEnter(page, iliad);
  check((await page.textContent('h1')) === 'Ilias', `the work page is headed "Ilias"`);

  // "/" reaches a search box from a page where nothing is being typed.
  await page.keyboard.press('/');
  check(await page.evaluate(() => document.activeElement?.matches('input[name=q]')), '"/" focuses a search box');

  // Each reading page shows the text as scrivel's HTML document of the work does.
  const htmlDir = convertSample();
  for (const work of works) {
    await page.goto(pathToFileURL(path.join(htmlDir, `${work.name}.html`)).href, { waitUntil: 'load' });
    const documentText = await page.evaluate(() => document.body.innerText);
    await page.goto(at(work.address), { waitUntil: 'load' });
    const libraryText = await page.evaluate(() => document.getElementById('text').innerText);
    fs.writeFileSync(path.join(out, `${work.name}.library.txt`), libraryText);
    check(libraryText === documentText, `${work.address} reads as ${work.name}.html in Chromium` +
      (libraryText === documentText ? '' : `\n  ${firstDifference(documentText, libraryText)}`));
  }

  // A citation link opens its line.
  await page.goto(at(iliad), { waitUntil: 'load' });
  await page.click('#text a.l[id="1.5"]');
  await page.waitForURL(at(`${iliad}:1.5`), { waitUntil: 'load' }).catch(() => {});
  check(page.url() === at(`${iliad}:1.5`), `[1.5] opens ${iliad}:1.5 (at ${page.url()})`);
  await checkMarked(page, '1.5');
  await page.evaluate(() => document.fonts.ready);
  await screenshot(page, 'library-work.png');

  // The Greek font: the library's face for Greek loads, from the system or from the library.
  const font = await page.evaluate(async () => {
    await document.fonts.ready;
    const faces = [...document.fonts].filter((face) => face.family.replace(/"/g, '') === 'Scrivel Greek');
    return { faces: faces.map((face) => face.status), check: document.fonts.check('16px "Scrivel Greek"', 'ἄ') };
  });
  check(font.check && font.faces.includes('loaded'), `the "Scrivel Greek" font is loaded (${JSON.stringify(font)}, ` +
    `/static/greek.ttf fetched: ${JSON.stringify(fontFetches)})`);
  const served = await page.request.get(at('/static/greek.ttf'));
  check(served.status() === 200 && (await served.body()).length > 10_000,
    `/static/greek.ttf, for readers without the font, answers 200 with a font (${served.status()})`);

  // Searching in Beta Code and in Greek from the header; a hit opens its line.
  const searchPage = await searchAndOpen(page, 'mh=nin');
  await searchAndOpen(page, 'ἄνδρα');
  await page.goto(searchPage, { waitUntil: 'load' });
  await page.evaluate(() => document.fonts.ready);
  await screenshot(page, 'library-search.png');

  // At a phone's width nothing scrolls sideways.
  await page.setViewportSize(phone);
  for (const address of ['/', '/tlg0012', iliad, `${iliad}:1.75`, searchPage]) {
    await page.goto(at(address), { waitUntil: 'load' });
    const width = await page.evaluate(() => ({ scroll: document.documentElement.scrollWidth, inner: innerWidth }));
    check(width.scroll <= width.inner, `${address} at ${phone.width}×${phone.height} does not scroll sideways ` +
      `(scrollWidth ${width.scroll}, innerWidth ${width.inner})`);
  }

  check(elsewhere.length === 0, `the pages load nothing from elsewhere${elsewhere.length ? `: ${elsewhere.join(', ')}` : ''}`);
  check(refused.length === 0, `every request was answered${refused.length ? `; refused: ${refused.join(', ')}` : ''}`);
  check(errors.length === 0, `no page reported an error${errors.length ? `: ${errors.join('; ')}` : ''}`);
  console.log('all checks passed');
} catch (error) {
  console.log(`FAIL: ${error instanceof Departure ? error.message : error.stack}`);
  status = 1;
} finally {
  await context.close();
}
process.exit(status);
