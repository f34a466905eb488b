// The readers suite: scrivel's documents opened in the programs people read
// them with. LibreOffice loads every RTF document and exports its text;
// headless Chromium loads every HTML document and gives its rendered text,
// its computed styles and the fonts it drew with. Both must read as the
// expected text beside this script (expected/<name>.txt), the HTML one after
// the few differences that the two formats have on purpose (see
// htmlDifferences below).
//
// Usage: node check.mjs <scrivel> <tlgbuild> <output-dir> [--write-expected]
//
// The documents, the readers' exports and two pictures (the first screen of
// sv12_1.html in Chromium, the first page of sv12_1.rtf in LibreOffice) are
// left in <output-dir>. --write-expected replaces the expected texts by what
// LibreOffice reads now: review them before keeping them.
//
// Exit status: 0 all checks passed, 1 a check failed, 77 a reader is missing
// (the test is then reported as skipped, with the command that installs it).

import { execFileSync, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const root = path.resolve(here, '../..');
const installCommand =
  'apt-get install -y libreoffice-writer-nogui chromium poppler-utils fonts-dejavu-core && (cd tests/readers && npm ci)';
const chromiumPath = '/usr/bin/chromium';
const chromiumArgs = [
  '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync',
];
const readerTimeout = 180_000;  // ms for one LibreOffice run

const SKIP = 77;

// The documents: the bundled sample (Iliad and Odyssey) and the showcase work,
// which uses every formatting command, signs of every kind and citations of
// every form.
const documents = [
  { name: 'sv12_1', author: 12, work: 1, what: 'Iliad, book 1, verses 1-120' },
  { name: 'sv12_2', author: 12, work: 2, what: 'Odyssey, book 1, verses 1-60' },
  { name: 'sv9_1', author: 9, work: 1, what: 'showcase (tests/readers/showcase.src)' },
];

// ---------------------------------------------------------------- helpers

const failures = [];
function fail(message) {
  failures.push(message);
  console.log(`FAIL: ${message}`);
}
let passes = 0;
function pass(message) {
  ++passes;
  console.log(`ok: ${message}`);
}
function check(condition, message) {
  condition ? pass(message) : fail(message);
  return condition;
}

function skip(missing) {
  console.log(`SKIPPED: the readers suite needs ${missing}.`);
  console.log(`Install them (as root, from the project's root) with:\n  ${installCommand}`);
  console.log('or: tests/readers/install.sh');
  process.exit(SKIP);
}

function onPath(command) {
  return spawnSync('sh', ['-c', `command -v ${command}`], { stdio: 'ignore' }).status === 0;
}

// A string with its invisible characters named, for failure messages.
function shown(s) {
  return JSON.stringify(s).replace(/\u00a0/g, '\\u00a0');
}

// The first line where two texts differ, with both versions of it.
function firstDifference(expected, actual) {
  const e = expected.split('\n');
  const a = actual.split('\n');
  for (let i = 0; i < Math.max(e.length, a.length); ++i) {
    if (e[i] !== a[i]) {
      return `line ${i + 1}:\n    expected ${e[i] === undefined ? '(no line)' : shown(e[i])}\n` +
        `    actual   ${a[i] === undefined ? '(no line)' : shown(a[i])}`;
    }
  }
  return 'texts are equal';
}

function run(command, args, options = {}) {
  const result = spawnSync(command, args, { encoding: 'utf8', timeout: readerTimeout, ...options });
  if (result.error) throw new Error(`${command}: ${result.error.message}`);
  return result;
}

// ---------------------------------------------------------------- arguments and readers

const args = process.argv.slice(2);
const writeExpected = args.includes('--write-expected');
const [scrivelArg, tlgbuildArg, outArg] = args.filter((a) => a !== '--write-expected');
if (!scrivelArg || !tlgbuildArg || !outArg) {
  console.log('usage: node check.mjs <scrivel> <tlgbuild> <output-dir> [--write-expected]');
  process.exit(2);
}
const scrivel = path.resolve(scrivelArg);
const tlgbuild = path.resolve(tlgbuildArg);
const out = path.resolve(outArg);

const missing = [];
if (!onPath('soffice')) missing.push('LibreOffice (soffice)');
if (!fs.existsSync(chromiumPath)) missing.push(`Chromium (${chromiumPath})`);
if (!onPath('pdftoppm')) missing.push('poppler-utils (pdftoppm)');
if (!onPath('fc-list')) missing.push('fontconfig (fc-list)');
let chromium;
try {
  ({ chromium } = await import('playwright-core'));
} catch {
  missing.push('playwright-core in tests/readers/node_modules (npm ci)');
}
if (missing.length > 0) skip(missing.join(', '));

const started = Date.now();
// Profiles of the readers and other scratch files, removed however the run ends.
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'scrivel-readers-'));
process.on('exit', () => fs.rmSync(scratch, { recursive: true, force: true }));
// A step that cannot go on (a document or an export that is not there) ends the run as a failure.
process.on('uncaughtException', (error) => {
  fail(`stopped: ${error.message}`);
  console.log(`${passes} passed, ${failures.length} failed`);
  process.exit(1);
});
// What an earlier run left in the output directory goes first.
for (const dir of ['corpus', 'html', 'rtf', 'libreoffice']) {
  fs.rmSync(path.join(out, dir), { recursive: true, force: true });
  fs.mkdirSync(path.join(out, dir), { recursive: true });
}
for (const picture of ['sv12_1-chromium.png', 'sv12_1-libreoffice.png']) fs.rmSync(path.join(out, picture), { force: true });

// ---------------------------------------------------------------- 1. the documents

// The author files: the bundled sample and the showcase built from its source.
fs.copyFileSync(path.join(root, 'examples/tlg0012.txt'), path.join(out, 'corpus/tlg0012.txt'));
{
  const built = run(tlgbuild, [path.join(here, 'showcase.src'), path.join(out, 'corpus/tlg0009.txt')]);
  if (built.status !== 0) {
    console.log(built.stdout + built.stderr);
    throw new Error('tlgbuild could not build the showcase');
  }
}

// Each document by the real program, in a directory holding its scrivel.cfg.
for (const format of ['html', 'rtf']) {
  const dir = path.join(out, format);
  fs.writeFileSync(path.join(dir, 'scrivel.cfg'), `${path.join(out, 'corpus')}/\n${format}\n`);
  for (const doc of documents) {
    const result = run(scrivel, [String(doc.author), String(doc.work)], { cwd: dir });
    const file = path.join(dir, `${doc.name}.${format}`);
    if (result.status !== 0 || !fs.existsSync(file)) {
      console.log(result.stdout + result.stderr);
      throw new Error(`scrivel ${doc.author} ${doc.work} wrote no ${format} document (status ${result.status})`);
    }
  }
}
pass(`scrivel wrote ${documents.length} documents in each format into ${out}`);

// ---------------------------------------------------------------- 2. LibreOffice

// One LibreOffice run, with a profile of its own that no other run shares.
// LibreOffice exits 0 even when it could not load the file: the result is
// looked for instead.
function libreoffice(input, convertTo, outdir, produced) {
  const profile = fs.mkdtempSync(path.join(scratch, 'lo-profile-'));
  const result = run('soffice', [
    '--headless', `-env:UserInstallation=${pathToFileURL(profile).href}`,
    '--infilter=Rich Text Format', '--convert-to', convertTo, '--outdir', outdir, input,
  ]);
  if (result.status !== 0 || !fs.existsSync(produced)) {
    throw new Error(`LibreOffice did not convert ${input} to ${convertTo} (status ${result.status}):\n` +
      result.stdout + result.stderr);
  }
  return produced;
}

// What LibreOffice itself adds, taken off before the comparison.
function libreofficeText(exported, rtfSource) {
  let text = fs.readFileSync(exported, 'utf8');
  // The text export begins with a byte-order mark.
  if (text.startsWith('\ufeff')) text = text.slice(1);
  // LibreOffice 7.4's RTF import reads each blank of a run of two or more as
  // U+2006 SIX-PER-EM SPACE followed by the blank: the hand-written
  // "{\rtf1\ansi a  b\par}" comes out as "a\u2006 \u2006 b". The document
  // itself never holds U+2006 (it would be "\u8198?"), so the pair stands for
  // one blank of the document.
  if (!rtfSource.includes('\\u8198?')) text = text.replace(/\u2006 /g, ' ');
  return text;
}

const expectedTexts = {};
for (const doc of documents) {
  const rtfFile = path.join(out, 'rtf', `${doc.name}.rtf`);
  const rtfSource = fs.readFileSync(rtfFile, 'latin1');
  const exported = libreoffice(rtfFile, 'txt:Text (encoded):UTF8', path.join(out, 'libreoffice'),
    path.join(out, 'libreoffice', `${doc.name}.txt`));
  const text = libreofficeText(exported, rtfSource);
  const expectedFile = path.join(here, 'expected', `${doc.name}.txt`);
  if (writeExpected) {
    fs.mkdirSync(path.dirname(expectedFile), { recursive: true });
    fs.writeFileSync(expectedFile, text);
    console.log(`wrote ${expectedFile}: review it`);
  }
  if (!fs.existsSync(expectedFile)) {
    fail(`${doc.name}: no expected text ${expectedFile} (run with --write-expected, then review it)`);
    continue;
  }
  const expected = fs.readFileSync(expectedFile, 'utf8');
  expectedTexts[doc.name] = expected;
  check(text === expected, `LibreOffice reads ${doc.name}.rtf (${doc.what}) as expected/${doc.name}.txt` +
    (text === expected ? '' : `\n  ${firstDifference(expected, text)}`));
}

// ---------------------------------------------------------------- 3. Chromium

// The differences between what the RTF and the HTML document show, by design.
// Each takes the expected text (the RTF reading) a step towards what the HTML
// document shows, and counts the places it changed; `html` holds facts about
// the HTML document's markup, for a difference that depends on it.
const htmlDifferences = [
  {
    name: 'overline markers',
    // RTF has no overline that readers agree on: the text stands between the
    // visible markers "<hba>" and "</hba>". HTML draws the overline with CSS
    // (class hba) and shows no markers.
    apply: (text) => replaceCounting(text, /<\/?hba>/g, () => ''),
  },
  {
    name: 'special span opening',
    // The HTML opening marker of a special span is "<<special N>>]", with a
    // closing bracket that the RTF form "<<special N>>" lacks.
    apply: (text) => replaceCounting(text, /<<special (\d+)>>/g, (m) => `${m}]`),
  },
  {
    name: 'blank after bold',
    // RTF: the bold control words "\b " and "\b0 " carry their own delimiter
    // blank and still ask for a delimiter, so a plain ASCII character right
    // after bold on or off is written after one more blank, which readers
    // show. HTML's <b> and </b> need none. The places are found from the
    // HTML document: the text of each <b> element, then where it ends.
    apply: (text, html) => {
      let count = 0;
      let from = 0;
      for (const { inner, asciiFirst, asciiAfter } of html.bold) {
        const at = text.indexOf(inner, from);
        if (at < 0) throw new Error(`bold text ${shown(inner)} not found in the expected text`);
        let end = at + inner.length;
        // "\b " then a plain ASCII character: one blank more before the bold text.
        if (asciiFirst && text[at - 1] === ' ') {
          text = text.slice(0, at - 1) + text.slice(at);
          --end, ++count;
        }
        // "\b0 " then a plain ASCII character: one blank more after it.
        if (asciiAfter && text[end] === ' ') {
          text = text.slice(0, end) + text.slice(end + 1);
          ++count;
        }
        from = end;
      }
      return { text, count };
    },
  },
  {
    name: 'blank collapsing',
    // HTML (white-space: normal) shows a run of blanks as one and none at the
    // start or the end of a line; RTF keeps every blank. The non-breaking
    // blanks after a reference are no blanks in this sense and stay.
    apply: (text) => {
      let count = 0;
      const lines = text.split('\n').map((line) => {
        const collapsed = line.replace(/ {2,}/g, ' ').replace(/^ | $/g, '');
        if (collapsed !== line) ++count;
        return collapsed;
      });
      return { text: lines.join('\n'), count };
    },
  },
  {
    name: 'final line feed',
    // The text export ends the document's last paragraph with a line feed;
    // innerText has nothing after the last character.
    apply: (text) => replaceCounting(text, /\n$/, () => ''),
  },
];

function replaceCounting(text, pattern, replacement) {
  let count = 0;
  const result = text.replace(pattern, (m) => {
    ++count;
    return replacement(m);
  });
  return { text: result, count };
}

// The fonts that fontconfig has for a face that Chromium names, with the
// characters each covers.
const fontCharsets = new Map();
function charsetOf(font) {
  const key = `${font.postScriptName}|${font.familyName}`;
  if (fontCharsets.has(key)) return fontCharsets.get(key);
  let listing = execFileSync('fc-list', [`:postscriptname=${font.postScriptName}`, '--format', '%{file}|%{charset}\n'],
    { encoding: 'utf8' });
  if (listing.trim() === '') {
    listing = execFileSync('fc-list', [`${font.familyName}`, '--format', '%{file}|%{charset}\n'], { encoding: 'utf8' });
  }
  const ranges = [];
  const files = [];
  for (const line of listing.split('\n').filter(Boolean)) {
    const [file, charset] = line.split('|');
    files.push(file);
    for (const range of charset.trim().split(/\s+/).filter(Boolean)) {
      const [low, high] = range.split('-').map((h) => parseInt(h, 16));
      ranges.push([low, high ?? low]);
    }
  }
  const entry = { files, covers: (cp) => ranges.some(([low, high]) => cp >= low && cp <= high) };
  fontCharsets.set(key, entry);
  return entry;
}

// Every text node of the document, with the fonts Chromium used to draw it.
async function fontsOfTextNodes(page) {
  const cdp = await page.context().newCDPSession(page);
  await cdp.send('DOM.enable');
  await cdp.send('CSS.enable');
  const { root: documentNode } = await cdp.send('DOM.getDocument', { depth: -1 });
  const textNodes = [];
  const walk = (node) => {
    if (node.nodeType === 3 && node.nodeValue.trim() !== '') textNodes.push(node);
    for (const child of node.children ?? []) walk(child);
  };
  walk(documentNode);
  const result = [];
  for (const node of textNodes) {
    const { fonts } = await cdp.send('CSS.getPlatformFontsForNode', { nodeId: node.nodeId });
    result.push({ text: node.nodeValue, fonts });
  }
  await cdp.detach();
  return result;
}

const launchDir = fs.mkdtempSync(path.join(scratch, 'chromium-profile-'));
const context = await chromium.launchPersistentContext(launchDir, {
  executablePath: chromiumPath,
  headless: true,
  args: chromiumArgs,
  viewport: { width: 900, height: 640 },
});
try {
  for (const doc of documents) {
    const page = await context.newPage();
    const htmlFile = path.join(out, 'html', `${doc.name}.html`);
    await page.goto(pathToFileURL(htmlFile).href, { waitUntil: 'load' });
    await page.evaluate(() => document.fonts.ready);

    // The text as shown.
    const shownText = await page.evaluate(() => document.body.innerText);
    fs.writeFileSync(path.join(out, 'html', `${doc.name}.innerText.txt`), shownText);
    const facts = await page.evaluate(() => {
      // A plain ASCII character written right after the markup (RTF: the
      // bold control word) rather than after more markup.
      const asciiText = (node) => node !== null && node.nodeType === Node.TEXT_NODE &&
        node.nodeValue.length > 0 && node.nodeValue.charCodeAt(0) < 0x80;
      return {
        bold: [...document.querySelectorAll('b')].map((b) => ({
          inner: b.innerText, asciiFirst: asciiText(b.firstChild), asciiAfter: asciiText(b.nextSibling),
        })),
        hba: document.querySelectorAll('.hba').length,
        specials: [...document.querySelectorAll('.code')].filter((e) => e.textContent.startsWith('<<special')).length,
      };
    });
    const expected = expectedTexts[doc.name];
    if (expected !== undefined) {
      let text = expected;
      const counts = [];
      for (const difference of htmlDifferences) {
        const { text: next, count } = difference.apply(text, facts);
        text = next;
        counts.push(`${difference.name} ${count}`);
        if (difference.name === 'overline markers') {
          check(count === 2 * facts.hba, `${doc.name}: the RTF overline markers (${count}) are the HTML's ` +
            `hba elements (${facts.hba}), two for each`);
        }
        if (difference.name === 'special span opening') {
          check(count === facts.specials, `${doc.name}: the RTF special span openings (${count}) are the ` +
            `HTML's (${facts.specials})`);
        }
      }
      console.log(`   ${doc.name}: by-design differences applied: ${counts.join(', ')}`);
      check(shownText === text, `Chromium shows ${doc.name}.html as expected/${doc.name}.txt, ` +
        'by-design differences aside' + (shownText === text ? '' : `\n  ${firstDifference(text, shownText)}`));
    }

    // The styles that carry the formatting the text does not show.
    const styles = await page.evaluate(() => {
      const first = (selector) => {
        const element = document.querySelector(selector);
        if (!element) return null;
        const style = getComputedStyle(element);
        return {
          decoration: style.textDecorationLine, color: style.color,
          letterSpacing: style.letterSpacing, fontSize: style.fontSize,
        };
      };
      return { hba: first('.hba'), code: first('.code'), exp: first('.exp') };
    });
    if (doc.name === 'sv9_1') {
      check(styles.hba && styles.code && styles.exp, 'sv9_1: the showcase has an overline, a code and an expanded span');
    }
    if (styles.hba) {
      check(styles.hba.decoration === 'overline',
        `${doc.name}: .hba has text-decoration-line overline (${styles.hba.decoration})`);
    }
    if (styles.code) {
      check(styles.code.color === 'rgb(255, 0, 0)', `${doc.name}: .code is red (${styles.code.color})`);
    }
    if (styles.exp) {
      const spacing = parseFloat(styles.exp.letterSpacing);
      check(spacing > 0 && styles.exp.letterSpacing === styles.exp.fontSize,
        `${doc.name}: .exp has letter-spacing 1em (${styles.exp.letterSpacing}, font-size ${styles.exp.fontSize})`);
    }

    // Glyph coverage: every character other than ASCII is in a font that
    // Chromium drew its text node with.
    const nodes = await fontsOfTextNodes(page);
    const used = new Map();
    const uncovered = new Map();
    for (const node of nodes) {
      for (const font of node.fonts) used.set(font.postScriptName || font.familyName, font);
      for (const ch of new Set(node.text)) {
        const cp = ch.codePointAt(0);
        if (cp < 0x80) continue;
        if (!node.fonts.some((font) => charsetOf(font).covers(cp))) {
          uncovered.set(cp, node.fonts.map((f) => f.familyName).join(', '));
        }
      }
    }
    const distinct = new Set([...shownText].filter((ch) => ch.codePointAt(0) >= 0x80));
    console.log(`   ${doc.name}: Chromium drew with ${[...used.values()].map((f) =>
      `${f.familyName} (${f.postScriptName}, ${f.glyphCount} glyphs${f.isCustomFont ? ', web font' : ''})`).join('; ')}`);
    check(uncovered.size === 0, `${doc.name}: the fonts used cover all ${distinct.size} distinct characters ` +
      'beyond ASCII' + (uncovered.size === 0 ? '' : `; missing: ${[...uncovered].map(([cp, fonts]) =>
        `U+${cp.toString(16).toUpperCase().padStart(4, '0')} ${String.fromCodePoint(cp)} (in ${fonts})`).join(', ')}`));
    for (const ch of distinct) {
      if (!nodes.some((node) => node.text.includes(ch))) fail(`${doc.name}: ${shown(ch)} is shown but in no text node`);
    }

    // 4. The first screen of the Iliad, as a picture.
    if (doc.name === 'sv12_1') {
      const picture = path.join(out, 'sv12_1-chromium.png');
      await page.screenshot({ path: picture });
      check(fs.statSync(picture).size > 0, `Chromium's first screen of sv12_1.html: ${picture}`);
    }
    await page.close();
  }
} finally {
  await context.close();
}

// ---------------------------------------------------------------- 4. LibreOffice's first page

{
  const pdf = libreoffice(path.join(out, 'rtf', 'sv12_1.rtf'), 'pdf', path.join(out, 'libreoffice'),
    path.join(out, 'libreoffice', 'sv12_1.pdf'));
  const fonts = spawnSync('pdffonts', [pdf], { encoding: 'utf8' });
  if (fonts.status === 0) console.log(`   fonts LibreOffice embedded in sv12_1.pdf:\n${fonts.stdout.trimEnd().replace(/^/gm, '     ')}`);
  // The page carries the expected lines, as the characters of the glyphs
  // drawn (blanks of any kind compared as one blank).
  const pageText = spawnSync('pdftotext', ['-f', '1', '-l', '1', '-enc', 'UTF-8', pdf, '-'], { encoding: 'utf8' });
  if (pageText.status === 0 && expectedTexts.sv12_1 !== undefined) {
    const blanks = (line) => line.replace(/[\s\u00a0]+/g, ' ').trim();
    const shownLines = pageText.stdout.split('\n').map(blanks).filter(Boolean);
    const expectedLines = expectedTexts.sv12_1.split('\n').map(blanks).filter(Boolean).slice(0, shownLines.length);
    const differing = shownLines.findIndex((line, i) => line !== expectedLines[i]);
    check(shownLines.length > 20 && differing < 0, `LibreOffice's first page of sv12_1.rtf shows the first ` +
      `${shownLines.length} lines of expected/sv12_1.txt` + (differing < 0 ? '' :
        `\n  line ${differing + 1}: expected ${shown(expectedLines[differing])}, shown ${shown(shownLines[differing])}`));
  }
  const picture = path.join(out, 'sv12_1-libreoffice');
  const rendered = run('pdftoppm', ['-png', '-r', '80', '-f', '1', '-l', '1', '-singlefile', pdf, picture]);
  check(rendered.status === 0 && fs.existsSync(`${picture}.png`),
    `LibreOffice's first page of sv12_1.rtf: ${picture}.png`);
}

const seconds = ((Date.now() - started) / 1000).toFixed(1);
console.log(`readers suite: ${seconds} s`);
console.log(`${passes} passed, ${failures.length} failed`);
process.exit(failures.length === 0 ? 0 : 1);
