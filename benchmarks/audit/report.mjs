// Judges what the two halves of the element-list audit saw and writes the
// result: a JSON document (every break of every page, with the line it is
// about and why) and a readable summary beside it.
//   node report.mjs VESK.json CHROMIUM.json OUT.json [SUMMARY.txt]
// The checks, each over the lines of every answer or the elements listed:
//   duplicates  no two element lines of one answer alike
//   visible     every listed element shows (its frames included)
//   reachable   a click on it lands on it or what it holds, unless the answer
//               says a dialog covers it
//   context     its context is text of its own containers, never a neighbour's
//   classWords  its name is not made of class-attribute words only
//   unlisted    what a person could click is listed, lies in a listed
//               element or holds one, or is covered
//   names       where Vesk and Chromium both name it, the names agree

import { readFileSync, writeFileSync } from 'node:fs';

const [veskFile, chromiumFile, outFile, summaryFile] = process.argv.slice(2);
const vesk = JSON.parse(readFileSync(veskFile, 'utf8'));
const chromium = JSON.parse(readFileSync(chromiumFile, 'utf8'));
const CHECKS = ['duplicates', 'visible', 'reachable', 'context', 'classWords', 'unlisted', 'names'];
const collapse = (s) => String(s ?? '').replace(/\s+/g, ' ').trim();

// Why Vesk's name and Chromium's differ.
function nameDifference(ours, theirs) {
  const a = collapse(ours), b = collapse(theirs);
  if (a === b) return 'whitespace only';
  if (a.toLowerCase() === b.toLowerCase()) return 'case only (Chromium applies text-transform)';
  if (a.replace(/\s/g, '') === b.replace(/\s/g, '')) return 'words run together or split (line breaks, blocks)';
  if (a.endsWith('\u2026') && b.startsWith(a.slice(0, -1))) return 'Vesk cuts a long name';
  if (b.includes(a)) return 'Chromium\'s name holds more (text of all its parts, or a label beside)';
  if (a.includes(b)) return 'Vesk\'s name holds more (descendants\' text, a value, a hidden part)';
  const words = (s) => new Set(s.toLowerCase().split(/[^\p{L}\p{N}]+/u).filter(Boolean));
  const wa = words(a), wb = words(b);
  if ([...wb].every((w) => wa.has(w))) return 'Vesk\'s name holds more (descendants\' text, a value, a hidden part)';
  if ([...wa].every((w) => wb.has(w))) return 'Chromium\'s name holds more (text of all its parts, or a label beside)';
  return 'different sources (another label, attribute or text)';
}

// Whether each frame (by its path) shows in the page: every frame box on the
// way to it shows and takes a click.
function frameShows(frames) {
  const byPath = new Map(frames.map((f) => [JSON.stringify(f.path), f]));
  return (path) => {
    for (let depth = path.length; depth > 0; depth--) {
      const parent = byPath.get(JSON.stringify(path.slice(0, depth - 1)));
      const box = parent?.frames.find((f) => f.index === path[depth - 1]);
      if (box && (!box.visible || box.reachable === false)) return { ok: false, why: `its frame ${box.owner} ${box.why || 'does not show'}` };
    }
    return { ok: true };
  };
}

function judge(page) {
  const breaks = Object.fromEntries(CHECKS.map((c) => [c, []]));
  const notes = {};
  const note = (category, entry) => (notes[category] ||= []).push(entry);
  const checked = Object.fromEntries(CHECKS.map((c) => [c, 0]));
  const reference = chromium[page.url] || {};
  const covered = new Set(page.cover?.refs || []);

  for (const answer of page.answers) {
    const where = answer.tool + (answer.query !== undefined ? ` "${answer.query}"` : '');
    const seen = new Map();
    for (const line of answer.lines) {
      checked.duplicates++;
      if (line.run) continue;
      if (!seen.has(line.line)) seen.set(line.line, []);
      seen.get(line.line).push(line.ref);
    }
    for (const [line, refs] of seen) {
      if (refs.length > 1) breaks.duplicates.push({ line, refs, why: `${refs.length} lines alike in the ${where} answer` });
    }
  }

  const shows = frameShows(page.frames);
  for (const [ref, element] of Object.entries(page.elements)) {
    const line = `[${ref}] ${element.line.replace(/^\[[^\]]*\] /, '')}`;
    const c = element.checks;
    if (!c || !c.found) {
      note('not located by the audit', { line, why: element.locatorError || (c ? 'its selector finds nothing' : 'its frame did not answer') });
      continue;
    }
    if (c.error) {
      note('checks failed on it', { line, why: c.error });
      continue;
    }
    checked.visible++;
    const frame = shows(element.framePath || []);
    if (!c.visible.ok || !frame.ok) {
      breaks.visible.push({ line, element: c.element, why: frame.ok ? c.visible.why : frame.why });
    } else {
      checked.reachable++;
      if (!c.reach.ok) {
        if (page.cover && !covered.has(ref)) note('reported as covered', { line, why: c.reach.why });
        else breaks.reachable.push({ line, element: c.element, why: c.reach.why });
      }
    }
    if (c.context) {
      checked.context++;
      if (!c.context.ok) breaks.context.push({ line, element: c.element, category: c.context.category, why: c.context.why });
    }
    if (element.name) checked.classWords++;
    if (c.name?.category === 'class words') {
      breaks.classWords.push({ line, element: c.element, words: c.name.words, why: 'every word of the name is a word of the class attributes of the element or around it' });
    } else if (c.name) {
      note(c.name.category, { line, element: c.element, why: c.name.why || `the words ${c.name.words.join(', ')} come from class attributes` });
    }
    const theirs = reference[ref];
    if (!theirs || theirs.missing) {
      note('not compared with Chromium', { line, why: theirs?.missing || 'the reference did not load the page' });
    } else if (theirs.ignored || !collapse(theirs.name) || !collapse(element.name)) {
      const which = theirs.ignored ? 'Chromium leaves it out of its tree' : !collapse(theirs.name) && collapse(element.name)
        ? 'Vesk describes what Chromium leaves nameless' : !collapse(element.name) && collapse(theirs.name) ? 'only Chromium names it' : 'neither names it';
      if (which !== 'neither names it') note(which, { line, chromium: `${theirs.role} "${theirs.name}"` });
    } else {
      checked.names++;
      if (theirs.name !== element.name) {
        breaks.names.push({ line, chromium: `${theirs.role} "${theirs.name}"`, category: nameDifference(element.name, theirs.name) });
      }
    }
  }

  for (const frame of page.frames) {
    const where = frame.path.length ? ` (frame ${JSON.stringify(frame.path)})` : '';
    checked.unlisted += frame.clickable.counted;
    if (frame.clickable.covered) note('clickable but covered', { count: frame.clickable.covered, frame: frame.path });
    for (const missing of frame.clickable.missing) {
      breaks.unlisted.push({ element: missing.element + where, text: missing.text, onScreen: missing.onScreen, why: missing.signs.join('; ') });
    }
  }
  const notesCount = Object.fromEntries(Object.entries(notes).map(([k, v]) => [k, v.length]));
  return {
    group: page.group, name: page.name, url: page.url, title: page.title || '', errors: page.errors,
    checked, breaks: Object.fromEntries(CHECKS.map((c) => [c, breaks[c].length])), notesCount, details: breaks, notes,
  };
}

const judged = vesk.map(judge);
const sum = (list, key) => Object.fromEntries(CHECKS.map((c) => [c, list.reduce((n, p) => n + p[key][c], 0)]));
const groups = [...new Set(judged.map((p) => p.group))];
const totals = {
  pages: judged.length,
  checked: sum(judged, 'checked'),
  breaks: sum(judged, 'breaks'),
  byGroup: Object.fromEntries(groups.map((g) => {
    const pages = judged.filter((p) => p.group === g);
    return [g, { pages: pages.length, checked: sum(pages, 'checked'), breaks: sum(pages, 'breaks') }];
  })),
};
writeFileSync(outFile, JSON.stringify({ checks: CHECKS, totals, pages: judged }, null, 1));

// The summary: a table of counts (checked/breaks per check), then each page
// with breaks, its breaks quoted (at most a few of each check).
const SHOWN = 6;
const text = [];
const cell = (p, c) => `${p.breaks[c]}/${p.checked[c]}`.padStart(9);
text.push('Element-list audit: breaks/checked per check.', '');
text.push('page'.padEnd(46) + CHECKS.map((c) => c.padStart(11)).join(''));
for (const p of judged) text.push(`${p.group}/${p.name}`.slice(0, 45).padEnd(46) + CHECKS.map((c) => cell(p, c).padStart(11)).join('') + (p.errors.length ? '  (errors)' : ''));
for (const [g, t] of Object.entries(totals.byGroup)) text.push(`total ${g} (${t.pages} pages)`.slice(0, 45).padEnd(46) + CHECKS.map((c) => `${t.breaks[c]}/${t.checked[c]}`.padStart(11)).join(''));
text.push('total'.padEnd(46) + CHECKS.map((c) => `${totals.breaks[c]}/${totals.checked[c]}`.padStart(11)).join(''), '');
for (const p of judged) {
  const any = CHECKS.some((c) => p.breaks[c]) || p.errors.length || Object.keys(p.notes).length;
  if (!any) continue;
  text.push(`== ${p.group}/${p.name}  ${p.title}  ${p.url}`);
  for (const e of p.errors) text.push(`   error: ${e}`);
  for (const c of CHECKS) {
    const list = p.details[c];
    if (!list.length) continue;
    text.push(`   ${c} (${list.length}):`);
    for (const b of list.slice(0, SHOWN)) {
      const what = b.line || `${b.element}${b.text ? ` "${b.text}"` : ''}`;
      const why = [b.category, b.chromium && `Chromium: ${b.chromium}`, b.element && b.line && b.element, b.why].filter(Boolean).join(' | ');
      text.push(`     ${what}  --  ${why}`);
    }
    if (list.length > SHOWN) text.push(`     … ${list.length - SHOWN} more`);
  }
  for (const [category, list] of Object.entries(p.notes)) {
    const first = list[0];
    text.push(`   note, ${category} (${list.length})${first.line ? `: ${first.line}${first.chromium ? `  Chromium: ${first.chromium}` : ''}` : ''}`);
  }
}
if (summaryFile) writeFileSync(summaryFile, text.join('\n') + '\n');
else process.stdout.write(text.join('\n') + '\n');
