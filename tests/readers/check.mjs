// The readers suite: scrivel's documents opened in the programs people read
// them with. LibreOffice loads every RTF document and exports its text;
// headless Chromium loads every HTML document and gives its rendered text and
// the computed styles of its spans. Each reader must show the reviewed text
// beside this script: expected/libreoffice/<name>.txt, expected/chromium/<name>.txt.
//
// Usage: node check.mjs <scrivel> <tlgbuild> <output-dir> [--write-expected]
//
// The documents, the readers' texts and a picture of the first screen of
// sv12_1.html in Chromium are left in <output-dir>. --write-expected replaces
// the expected texts by what the readers show now: review the difference
// before keeping it.
//
// Exit status: 0 all checks passed, 1 a check failed, 77 a reader is missing
// (run.sh has said so; the test is then reported as skipped).

import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const root = path.resolve(here, '../..');
const chromiumPath = '/usr/bin/chromium';

// The bundled sample (Iliad and Odyssey) and the showcase work, which uses
// every formatting command, signs of every kind and citations of every form.
const documents = [
  { name: 'sv12_1', author: 12, work: 1 },
  { name: 'sv12_2', author: 12, work: 2 },
  { name: 'sv9_1', author: 9, work: 1 },
];

let failures = 0;
function check(condition, message) {
  console.log(`${condition ? 'ok' : 'FAIL'}: ${message}`);
  if (!condition) ++failures;
}

// The first line where two texts differ, with both versions of it (invisible blanks named).
function firstDifference(expected, actual) {
  const shown = (s) => (s === undefined ? '(no line)' : JSON.stringify(s).replace(/\u00a0/g, '\\u00a0'));
  const e = expected.split('\n');
  const a = actual.split('\n');
  const i = e.findIndex((line, k) => line !== a[k]);
  const at = i < 0 ? e.length : i;
  return `line ${at + 1}:\n    expected ${shown(e[at])}\n    actual   ${shown(a[at])}`;
}

function run(command, args, options = {}) {
  const result = spawnSync(command, args, { encoding: 'utf8', timeout: 180_000, ...options });
  if (result.error || result.status !== 0) {
    throw new Error(`${command} ${args.join(' ')}: ${result.error?.message ?? `status ${result.status}`}\n` +
      `${result.stdout}${result.stderr}`);
  }
  return result;
}

// Compares what a reader shows with its expected text, or writes that text.
function compare(reader, name, text) {
  const expectedFile = path.join(here, 'expected', reader, `${name}.txt`);
  if (writeExpected) {
    fs.mkdirSync(path.dirname(expectedFile), { recursive: true });
    fs.writeFileSync(expectedFile, text);
    console.log(`wrote ${expectedFile}: review it`);
  }
  const expected = fs.existsSync(expectedFile) ? fs.readFileSync(expectedFile, 'utf8') : '';
  check(text === expected, `${reader} shows ${name} as expected/${reader}/${name}.txt` +
    (text === expected ? '' : `\n  ${firstDifference(expected, text)}`));
}

const args = process.argv.slice(2);
const writeExpected = args.includes('--write-expected');
const [scrivel, tlgbuild, out] = args.filter((a) => a !== '--write-expected').map((a) => path.resolve(a));
if (!out) {
  console.log('usage: node check.mjs <scrivel> <tlgbuild> <output-dir> [--write-expected]');
  process.exit(2);
}
let chromium;
try {
  ({ chromium } = await import('playwright-core'));
} catch {
  console.log('SKIPPED: playwright-core is missing (tests/readers/install.sh)');
  process.exit(77);
}

// Profiles of the readers, removed however the run ends.
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'scrivel-readers-'));
process.on('exit', () => fs.rmSync(scratch, { recursive: true, force: true }));
for (const dir of ['corpus', 'html', 'rtf', 'libreoffice']) {
  fs.rmSync(path.join(out, dir), { recursive: true, force: true });
  fs.mkdirSync(path.join(out, dir), { recursive: true });
}

// The documents, by the real program in a directory holding its scrivel.cfg.
fs.copyFileSync(path.join(root, 'examples/tlg0012.txt'), path.join(out, 'corpus/tlg0012.txt'));
run(tlgbuild, [path.join(here, 'showcase.src'), path.join(out, 'corpus/tlg0009.txt')]);
for (const format of ['html', 'rtf']) {
  const dir = path.join(out, format);
  fs.writeFileSync(path.join(dir, 'scrivel.cfg'), `${path.join(out, 'corpus')}/\n${format}\n`);
  for (const doc of documents) run(scrivel, [String(doc.author), String(doc.work)], { cwd: dir });
}

// LibreOffice, with a profile of its own for each run. It exits 0 even when
// it could not load the file: reading the export fails then.
for (const doc of documents) {
  const rtfFile = path.join(out, 'rtf', `${doc.name}.rtf`);
  const profile = fs.mkdtempSync(path.join(scratch, 'lo-profile-'));
  run('soffice', ['--headless', `-env:UserInstallation=${pathToFileURL(profile).href}`,
    '--infilter=Rich Text Format', '--convert-to', 'txt:Text (encoded):UTF8',
    '--outdir', path.join(out, 'libreoffice'), rtfFile]);
  // The export begins with a byte-order mark. LibreOffice 7.4's RTF import
  // reads each blank of a run of two or more as U+2006 SIX-PER-EM SPACE and
  // the blank; the document never holds U+2006 (it would be "\u8198?"), so
  // the pair stands for one blank of the document.
  let text = fs.readFileSync(path.join(out, 'libreoffice', `${doc.name}.txt`), 'utf8').replace(/^\ufeff/, '');
  if (!fs.readFileSync(rtfFile, 'latin1').includes('\\u8198?')) text = text.replace(/\u2006 /g, ' ');
  compare('libreoffice', doc.name, text);
}

// Chromium: the text as shown, and the styles that carry the formatting the text does not show.
const context = await chromium.launchPersistentContext(fs.mkdtempSync(path.join(scratch, 'chromium-')), {
  executablePath: chromiumPath, headless: true, viewport: { width: 900, height: 640 },
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking',
    '--disable-component-update', '--disable-sync'],
});
try {
  for (const doc of documents) {
    const page = await context.newPage();
    await page.goto(pathToFileURL(path.join(out, 'html', `${doc.name}.html`)).href, { waitUntil: 'load' });
    await page.evaluate(() => document.fonts.ready);
    const text = await page.evaluate(() => document.body.innerText);
    fs.writeFileSync(path.join(out, 'html', `${doc.name}.innerText.txt`), text);
    compare('chromium', doc.name, text);
    if (doc.name === 'sv9_1') {
      const style = await page.evaluate(() => {
        const of = (selector) => getComputedStyle(document.querySelector(selector));
        return { hba: of('.hba').textDecorationLine, code: of('.code').color,
          spacing: of('.exp').letterSpacing, size: of('.exp').fontSize };
      });
      check(style.hba === 'overline' && style.code === 'rgb(255, 0, 0)' && style.spacing === style.size,
        `sv9_1: overline, red code colour and 1em letter spacing (${JSON.stringify(style)})`);
    }
    if (doc.name === 'sv12_1') await page.screenshot({ path: path.join(out, 'sv12_1-chromium.png') });
    await page.close();
  }
} finally {
  await context.close();
}
console.log(failures === 0 ? 'all checks passed' : `${failures} checks failed`);
process.exit(failures === 0 ? 0 : 1);
