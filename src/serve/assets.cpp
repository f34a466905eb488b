#include "serve/assets.h"

namespace scrivel::serve {

// The Greek is set in a font with every polytonic letter: one the reader's
// system has, else the one the library serves. The text's formatting is
// the HTML document's. Narrow screens get one column and no less
// important columns; the focus is always visible, for the keyboard.
const std::string_view style_sheet = R"css(@font-face {
  font-family: "Scrivel Greek";
  src: local("Gentium Plus"), local("GentiumPlus"), local("DejaVu Serif"), url("/static/greek.ttf") format("truetype");
}
:root { color-scheme: light; --ink: #1d1d1f; --quiet: #5b5b66; --line: #d9d6cf; --paper: #fdfcf8; --accent: #0b5394; --mark: #fff0a8; }
* { box-sizing: border-box; }
body { margin: 0; background: var(--paper); color: var(--ink); font: 1.05rem/1.55 "Scrivel Greek", "Gentium Plus", "DejaVu Serif", serif; }
a { color: var(--accent); }
a:focus-visible, input:focus-visible, button:focus-visible, summary:focus-visible { outline: 3px solid #e66100; outline-offset: 2px; }
.skip { position: absolute; left: -999px; top: 0; background: #fff; padding: .5rem; }
.skip:focus { left: .5rem; }
header { display: flex; flex-wrap: wrap; gap: .5rem 1rem; align-items: center; padding: .6rem 1rem; border-bottom: 1px solid var(--line); background: #f4f1ea; }
header .home { font-weight: bold; text-decoration: none; font-size: 1.2rem; }
form { display: flex; flex-wrap: wrap; gap: .4rem; align-items: center; margin: 0; }
form.search { display: block; }
form.search p { margin: .5rem 0; }
form.search label[for] { display: inline-block; min-width: 5rem; }
input, button { font: inherit; padding: .3rem .5rem; }
input[type="search"], input:not([type]) { min-width: 0; width: 18rem; max-width: 100%; }
main { max-width: 52rem; margin: 0 auto; padding: 0 1rem 3rem; }
h1 { font-size: 1.6rem; margin: 1rem 0 .5rem; }
h1 .code, .urn { color: var(--quiet); font-size: .9rem; font-weight: normal; }
.crumbs { margin-top: .8rem; color: var(--quiet); }
.synonyms { color: var(--quiet); font-size: .9rem; }
table { border-collapse: collapse; width: 100%; }
th, td { text-align: left; padding: .3rem .5rem; border-bottom: 1px solid var(--line); vertical-align: top; }
tr[hidden] { display: none; }
form.within { margin: .5rem 0 1rem; }
.text { line-height: 1.7; overflow-wrap: anywhere; }
.text .hba { text-decoration: overline; }
.text .exp { letter-spacing: 1em; }
.text .code { color: red; }
.text a.l { color: var(--quiet); text-decoration: none; scroll-margin-top: 40vh; }
.text a.l[href]:hover, .text a.l[href]:focus { text-decoration: underline; }
.text a.l.here { background: var(--mark); color: var(--ink); outline: 2px solid #c8a400; }
::highlight(passage) { background-color: var(--mark); }
.hits li { margin: .4rem 0; }
.hits .line { display: block; }
mark { background: var(--mark); }
.error { color: #a40000; white-space: pre-wrap; font-family: "DejaVu Sans Mono", monospace; }
.pages { display: flex; gap: 1rem; margin: 1rem 0; }
.counts { margin: .5rem 0 1rem; }
@media (max-width: 40rem) {
  table.works th:nth-child(2), table.works td:nth-child(2), table.works th:nth-child(5), table.works td:nth-child(5) { display: none; }
  input[type="search"], input:not([type]) { width: 100%; }
  main { padding: 0 .6rem 2rem; }
}
)css";

// The filter of the authors' list, the marking of the line a work's
// address names, and "/" to reach the search from anywhere.
const std::string_view script = R"js('use strict';
(function () {
  // Names match without case, accents or breathings.
  const fold = (text) => text.normalize('NFD').replace(/\p{M}/gu, '').toLowerCase();

  function filterAuthors() {
    const box = document.getElementById('filter');
    if (!box) return;
    const rows = Array.from(document.querySelectorAll('#authors tbody tr'));
    const haystacks = rows.map((row) => fold(row.dataset.filter || ''));
    const shown = document.getElementById('shown');
    const apply = () => {
      const words = fold(box.value).split(/\s+/).filter(Boolean);
      let count = 0;
      rows.forEach((row, i) => {
        const keep = words.every((word) => haystacks[i].includes(word));
        row.hidden = !keep;
        if (keep) count += 1;
      });
      shown.textContent = count + (count === 1 ? ' author' : ' authors');
    };
    box.addEventListener('input', apply);
    apply();
  }

  // The line runs from its anchor to the next line break.
  function lineRange(text, anchor) {
    const range = document.createRange();
    range.setStartBefore(anchor);
    const walker = document.createTreeWalker(text, NodeFilter.SHOW_ELEMENT);
    walker.currentNode = anchor;
    while (walker.nextNode()) {
      if (walker.currentNode.nodeName === 'BR') {
        range.setEndBefore(walker.currentNode);
        return range;
      }
    }
    range.setEndAfter(text.lastChild);
    return range;
  }

  function markPassage() {
    const text = document.getElementById('text');
    if (!text) return;
    const passage = text.dataset.passage || decodeURIComponent(location.hash.slice(1));
    const anchor = passage && document.getElementById(passage);
    if (!anchor || !text.contains(anchor)) return;
    anchor.classList.add('here');
    if (window.Highlight && CSS.highlights) CSS.highlights.set('passage', new Highlight(lineRange(text, anchor)));
    anchor.scrollIntoView({ block: 'center' });
    if (anchor.hasAttribute('href')) anchor.focus({ preventScroll: true });
  }

  document.addEventListener('keydown', (event) => {
    const typing = event.target.closest('input, textarea, select');
    if (event.key !== '/' || typing || event.ctrlKey || event.metaKey || event.altKey) return;
    const box = document.querySelector('main input[name="q"]') || document.querySelector('input[name="q"]');
    if (box) {
      event.preventDefault();
      box.focus();
    }
  });

  filterAuthors();
  markPassage();
})();
)js";

// A sigma on the page's colour: the tab's icon.
const std::string_view icon =
    R"svg(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 32 32"><rect width="32" height="32" rx="6" fill="#0b5394"/><text x="16" y="24" font-size="22" text-anchor="middle" fill="#fdfcf8" font-family="serif">&#963;</text></svg>
)svg";

}  // namespace scrivel::serve
