// The readers suite: scrivel's documents opened in the programs people read
// them with. LibreOffice loads every RTF document and exports its text;
// headless Chromium loads every HTML document and gives its rendered text and
// the computed styles of its spans. Each reader must show the reviewed text
// beside this script: expected/libreoffice/<name>.txt, expected/chromium/<name>.txt.
// Then the plain text document of every one of those works and of every
// end-to-end example (tests/examples/*.txt, written as author files by
// scrivel-examples) must read as Chromium shows the HTML document of the same
// work.
//
// Usage: node check.mjs <scrivel> <tlgbuild> <scrivel-examples> <output-dir> [--write-expected]
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
function firstDifference(expected, actual, names = ['expected', 'actual']) {
  const shown = (s) => (s === undefined ? '(no line)' : JSON.stringify(s).replace(/\u00a0/g, '\\u00a0'));
  const e = expected.split('\n');
  const a = actual.split('\n');
  const i = e.findIndex((line, k) => line !== a[k]);
  const at = i < 0 ? e.length : i;
  const width = Math.max(...names.map((name) => name.length));
  const named = (k, line) => `\n    ${names[k].padEnd(width)} ${shown(line)}`;
  return `line ${at + 1}:${named(0, e[at])}${named(1, a[at])}`;
}

// Runs a program, which must end with one of `statuses`.
function run(command, args, options = {}, statuses = [0]) {
  const result = spawnSync(command, args, { encoding: 'utf8', timeout: 180_000, ...options });
  if (result.error || !statuses.includes(result.status)) {
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

// The examples as scrivel-examples wrote them into `dir`: an author file
// each, listed in examples.tsv. scrivel ends with status 1 after some errors
// in the text, such as the data ending inside the work (Error 004), once it
// has completed the document, and the examples show such errors.
function readExamples(dir) {
  const [, ...lines] = fs.readFileSync(path.join(dir, 'examples.tsv'), 'utf8').trimEnd().split('\n');
  return lines.map((line) => {
    const [author, work, where, title] = line.split('\t');
    return { name: `sv${author}_${work}`, author: Number(author), work: Number(work), where, title, statuses: [0, 1] };
  });
}

// A document as the messages name it: an example by where it stands and its title.
const label = (doc) => (doc.where ? `${doc.name} (${doc.where} ${doc.title})` : doc.name);

// The form in which the text format and Chromium's rendering are compared:
// NFC, a no-break blank as a blank, a run of blanks as one, no blank at a
// line's end, a control character as the replacement character. A browser
// collapses blanks; the text format keeps the text's own, and writes no
// control character, which a terminal would obey.
const asCompared = (text) =>
  text
    .normalize('NFC')
    .replace(/\u00a0/g, ' ')
    .replace(/ {2,}/g, ' ')
    .replace(/ +$/gm, '')
    .replace(/[\u0000-\u0008\u000b\u000c\u000e-\u001f\u007f]/g, '\ufffd');

const readIfThere = (file) => (fs.existsSync(file) ? fs.readFileSync(file, 'utf8') : null);

// How the text document of `doc` departs from what Chromium shows of its HTML
// document (null: no HTML document), or '' when it reads the same. A text
// document ends its last line with a line feed, as a text file does; a
// rendering has no line after its last one.
function textDeparture(doc, shown) {
  const text = readIfThere(path.join(out, 'text', `${doc.name}.txt`));
  if (text === null || shown === null) {
    return text === shown ? '' : `only the ${text === null ? 'HTML' : 'text'} document was written`;
  }
  if (!text.endsWith('\n')) return 'the text document does not end with a line feed';
  const [rendered, plain] = [asCompared(shown), asCompared(text.slice(0, -1))];
  return rendered === plain ? '' : firstDifference(rendered, plain, ['chromium', 'text']);
}

// Every text document against Chromium's rendering of the HTML document of the same work.
async function compareTextWithChromium(page, docs) {
  let departures = 0;
  for (const doc of docs) {
    const htmlFile = path.join(out, 'html', `${doc.name}.html`);
    let shown = null;
    if (fs.existsSync(htmlFile)) {
      await page.goto(pathToFileURL(htmlFile).href, { waitUntil: 'load' });
      shown = await page.evaluate(() => document.body.innerText);
      fs.writeFileSync(path.join(out, 'html', `${doc.name}.innerText.txt`), shown);
    }
    const departure = textDeparture(doc, shown);
    if (departure === '') continue;
    check(false, `the text document of ${label(doc)} reads as Chromium shows its HTML document\n  ${departure}`);
    ++departures;
  }
  check(departures === 0, `${docs.length - departures} of ${docs.length} text documents read as Chromium ` +
    'shows the HTML documents of their works');
}

const args = process.argv.slice(2);
const writeExpected = args.includes('--write-expected');
const [scrivel, tlgbuild, scrivelExamples, out] =
  args.filter((a) => a !== '--write-expected').map((a) => path.resolve(a));
if (!out) {
  console.log('usage: node check.mjs <scrivel> <tlgbuild> <scrivel-examples> <output-dir> [--write-expected]');
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
for (const dir of ['corpus', 'html', 'rtf', 'text', 'libreoffice']) {
  fs.rmSync(path.join(out, dir), { recursive: true, force: true });
  fs.mkdirSync(path.join(out, dir), { recursive: true });
}

// The documents, by the real program in a directory holding its scrivel.cfg.
fs.copyFileSync(path.join(root, 'examples/tlg0012.txt'), path.join(out, 'corpus/tlg0012.txt'));
run(tlgbuild, [path.join(here, 'showcase.src'), path.join(out, 'corpus/tlg0009.txt')]);
run(scrivelExamples, [path.join(root, 'tests/examples'), path.join(out, 'corpus')]);
const examples = readExamples(path.join(out, 'corpus'));
const converted = { html: [...documents, ...examples], rtf: documents, text: [...documents, ...examples] };
for (const [format, docs] of Object.entries(converted)) {
  const dir = path.join(out, format);
  fs.writeFileSync(path.join(dir, 'scrivel.cfg'), `${path.join(out, 'corpus')}/\n${format}\n`);
  for (const doc of docs) run(scrivel, [String(doc.author), String(doc.work)], { cwd: dir }, doc.statuses);
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
  await compareTextWithChromium(await context.newPage(), converted.text);
} finally {
  await context.close();
}
console.log(failures === 0 ? 'all checks passed' : `${failures} checks failed`);
process.exit(failures === 0 ? 0 : 1);
