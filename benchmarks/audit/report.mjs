// Judges what the two halves of the element-list audit saw and writes the
// result: a JSON document (every break and every explained difference of
// every page, with the line it is about, its category and why) and a
// readable summary beside it.
//   node report.mjs VESK.json CHROMIUM.json OUT.json [SUMMARY.txt]
// The checks, each over the lines of every answer or the elements listed:
//   duplicates  no two element lines of one answer alike
//   visible     every listed element shows (its frames included), itself
//               or what stands in for it
//   reachable   a click on it lands on it or what it holds, unless the answer
//               says a dialog covers it
//   context     its context is text of its own containers, never a neighbour's
//   classWords  its name is not made of class-attribute words only
//   unlisted    what a person could click is listed, lies in a listed
//               element or holds one, or is covered
//   names       where Vesk and Chromium both name it, the names agree
// What fails a check is a break, unless it is of a kind the audit explains
// (the page means it so, or the two browsers differ for a known reason):
// then it is an explained difference, counted apart under its category.

import { readFileSync, writeFileSync } from 'node:fs';

const [veskFile, chromiumFile, outFile, summaryFile] = process.argv.slice(2);
const vesk = JSON.parse(readFileSync(veskFile, 'utf8'));
const chromium = JSON.parse(readFileSync(chromiumFile, 'utf8'));
const CHECKS = ['duplicates', 'visible', 'reachable', 'context', 'classWords', 'unlisted', 'names'];
const collapse = (s) => String(s ?? '').replace(/\s+/g, ' ').trim();

const ALIKE_PLACE = 'nothing but their place tells them apart (no text of their containers, row or column differs)';
const OWN_DATE = 'the month of its own date attribute (no text of their containers tells alike days apart)';
const COVERED = 'reported as covered (a dialog covers the page)';
const PRIVATE_USE = /^[\s\u{E000}-\u{F8FF}\u{F0000}-\u{FFFFD}\u{100000}-\u{10FFFD}]+$/u;

// Why Vesk's name and Chromium's differ, and whether that is explained:
// whitespace, the case a style sheet gives, text the style sheets draw
// before or after, what a control inside the element says, or an icon
// font's private-use glyph that Chromium reads where Vesk describes the
// icon. `naming` is what the checks found in the page (checks.js).
function nameDifference(ours, theirs, naming = {}) {
  const a = collapse(ours), b = collapse(theirs);
  const explained = (category) => ({ category, explained: true });
  const unexplained = (category) => ({ category, explained: false });
  if (a === b) return explained('whitespace only');
  if (a.toLowerCase() === b.toLowerCase()) {
    return naming.transform ? explained(`case only (Chromium keeps the case of text-transform: ${naming.transform})`)
      : unexplained('case only');
  }
  if (PRIVATE_USE.test(b)) return explained('Chromium reads an icon font\'s private-use glyph, Vesk describes the icon');
  const without = (text, parts) => collapse(parts.reduce((t, part) => t.replace(part, ' '), text));
  if ((naming.generated || []).length && without(b, naming.generated) === a) {
    return explained('Chromium adds the text a style sheet draws (::before, ::after)');
  }
  if ((naming.inner || []).length && without(b, naming.inner) === a) {
    return explained('Chromium adds what a control inside it says (an expander, a filter field)');
  }
  if (without(without(b, naming.generated || []), naming.inner || []) === a && a) {
    return explained('Chromium adds drawn text and what a control inside it says');
  }
  if (a.replace(/\s/g, '') === b.replace(/\s/g, '')) return unexplained('words run together or split (line breaks, blocks)');
  if (a.endsWith('\u2026') && b.startsWith(a.slice(0, -1))) return unexplained('Vesk cuts a long name');
  if (b.includes(a)) return unexplained('Chromium\'s name holds more (text of all its parts, or a label beside)');
  if (a.includes(b)) return unexplained('Vesk\'s name holds more (descendants\' text, a value, a hidden part)');
  const words = (s) => new Set(s.toLowerCase().split(/[^\p{L}\p{N}]+/u).filter(Boolean));
  const wa = words(a), wb = words(b);
  if ([...wb].every((w) => wa.has(w))) return unexplained('Vesk\'s name holds more (descendants\' text, a value, a hidden part)');
  if ([...wa].every((w) => wb.has(w))) return unexplained('Chromium\'s name holds more (text of all its parts, or a label beside)');
  return unexplained('different sources (another label, attribute or text)');
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

// What tells the elements of alike lines apart, from the checks' verdict on
// each pair of them: explained when nothing a person reads does.
function alikeVerdict(elements, refs) {
  for (let i = 0; i < refs.length; i++) {
    for (let j = i + 1; j < refs.length; j++) {
      const verdict = elements[refs[i]]?.checks?.alike?.[refs[j]];
      if (!verdict) return { explained: false, category: 'not judged (the audit did not find both in one frame)' };
      if (verdict.error) return { explained: false, category: 'not judged', why: verdict.error };
      if (verdict.apart) {
        const texts = verdict.texts ? `: "${verdict.texts[0]}" and "${verdict.texts[1]}"` : '';
        return { explained: false, category: verdict.category, why: `[${refs[i]}] and [${refs[j]}]${texts}` };
      }
    }
  }
  return { explained: true, category: ALIKE_PLACE };
}

function judge(page) {
  const breaks = Object.fromEntries(CHECKS.map((c) => [c, []]));
  const explained = Object.fromEntries(CHECKS.map((c) => [c, []]));
  const notes = {};
  const note = (category, entry) => (notes[category] ||= []).push(entry);
  const checked = Object.fromEntries(CHECKS.map((c) => [c, 0]));
  const add = (check, entry, verdict) => (verdict.explained ? explained : breaks)[check].push({ ...entry, category: verdict.category });
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
      if (refs.length < 2) continue;
      const verdict = alikeVerdict(page.elements, refs);
      add('duplicates', { line, refs, why: [`${refs.length} lines alike in the ${where} answer`, verdict.why].filter(Boolean).join('; ') }, verdict);
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
      if (c.shownBy) note('shown by what stands in for it', { line, why: c.shownBy });
      checked.reachable++;
      if (!c.reach.ok) {
        const entry = { line, element: c.element, why: c.reach.why };
        if (page.cover && !covered.has(ref)) add('reachable', entry, { explained: true, category: COVERED });
        else add('reachable', entry, { explained: !!c.reach.category, category: c.reach.category });
      }
    }
    if (c.context) {
      checked.context++;
      if (!c.context.ok) {
        // A day's own date places it where the text of its containers
        // cannot (a weekday's column may, but says less).
        const alike = Object.values(c.alike || {});
        const dated = c.context.ownDate && alike.every((v) => !v.error && !(v.apart && (v.by === 'inside' || v.by === 'containers')));
        add('context', { line, element: c.element, why: c.context.why },
          dated ? { explained: true, category: OWN_DATE } : { explained: false, category: c.context.category });
      }
    }
    if (element.name) checked.classWords++;
    if (c.name) {
      const entry = { line, element: c.element, words: c.name.words,
        why: c.name.why || 'every word of the name is a word of the class attributes of the element or around it' };
      add('classWords', entry, { explained: c.name.category !== 'class words', category: c.name.category });
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
        add('names', { line, chromium: `${theirs.role} "${theirs.name}"` }, nameDifference(element.name, theirs.name, c.naming));
      }
    }
  }

  for (const frame of page.frames) {
    const where = frame.path.length ? ` (frame ${JSON.stringify(frame.path)})` : '';
    // Nothing inside a frame that does not show is there to click.
    const framed = shows(frame.path);
    if (!framed.ok) {
      if (frame.clickable.counted) note('in a frame that does not show, not counted', { count: frame.clickable.counted, why: framed.why });
      continue;
    }
    checked.unlisted += frame.clickable.counted;
    if (frame.clickable.covered) note('clickable but covered', { count: frame.clickable.covered, frame: frame.path });
    for (const missing of frame.clickable.missing) {
      add('unlisted', { element: missing.element + where, text: missing.text, onScreen: missing.onScreen, why: missing.signs.join('; ') },
        { explained: !!missing.category, category: missing.category });
    }
  }
  const count = (lists) => Object.fromEntries(CHECKS.map((c) => [c, lists[c].length]));
  return {
    group: page.group, name: page.name, url: page.url, title: page.title || '', errors: page.errors,
    checked, breaks: count(breaks), explained: count(explained),
    notesCount: Object.fromEntries(Object.entries(notes).map(([k, v]) => [k, v.length])),
    details: breaks, explainedDetails: explained, notes,
  };
}

const judged = vesk.map(judge);
const sum = (list, key) => Object.fromEntries(CHECKS.map((c) => [c, list.reduce((n, p) => n + p[key][c], 0)]));
const totalsOf = (pages) => ({ pages: pages.length, checked: sum(pages, 'checked'), breaks: sum(pages, 'breaks'), explained: sum(pages, 'explained') });
const groups = [...new Set(judged.map((p) => p.group))];
const totals = { ...totalsOf(judged), byGroup: Object.fromEntries(groups.map((g) => [g, totalsOf(judged.filter((p) => p.group === g))])) };

// Each category of break or explained difference, per check: how many,
// and on which pages.
function categories(kind) {
  const out = Object.fromEntries(CHECKS.map((c) => [c, {}]));
  for (const p of judged) {
    for (const c of CHECKS) {
      for (const entry of p[kind][c]) {
        const category = entry.category || 'uncategorised';
        const slot = (out[c][category] ||= { count: 0, pages: {} });
        slot.count++;
        slot.pages[`${p.group}/${p.name}`] = (slot.pages[`${p.group}/${p.name}`] || 0) + 1;
      }
    }
  }
  return out;
}
const byCategory = { breaks: categories('details'), explained: categories('explainedDetails') };
writeFileSync(outFile, JSON.stringify({ checks: CHECKS, totals, byCategory, pages: judged }, null, 1));

// The summary: the counts per page (breaks, explained differences and
// lines or elements checked, per check), the categories of what remains,
// then each page's breaks and explained differences quoted (at most a few
// of each).
const SHOWN = 6;
const WIDTH = 14;
const text = [];
const cell = (t, c) => `${t.breaks[c]} ${t.explained[c]}/${t.checked[c]}`.padStart(WIDTH);
const row = (label, t) => label.slice(0, 45).padEnd(46) + CHECKS.map((c) => cell(t, c)).join('');
text.push('Element-list audit. Each cell: breaks, explained differences / checked, per check.', '');
text.push('page'.padEnd(46) + CHECKS.map((c) => c.padStart(WIDTH)).join(''));
for (const p of judged) text.push(row(`${p.group}/${p.name}`, p) + (p.errors.length ? '  (errors)' : ''));
for (const [g, t] of Object.entries(totals.byGroup)) text.push(row(`total ${g} (${t.pages} pages)`, t));
text.push(row('total', totals), '');

const pagesOf = (slot) => Object.entries(slot.pages).map(([page, n]) => `${page.replace(/^.*pages\//, '')} ${n}`).join(', ');
for (const [kind, title] of [['breaks', 'Breaks by category'], ['explained', 'Explained differences by category']]) {
  text.push(`${title}:`);
  for (const c of CHECKS) {
    const list = Object.entries(byCategory[kind][c]);
    if (!list.length) continue;
    text.push(`  ${c} (${totals[kind][c]}):`);
    for (const [category, slot] of list.sort((x, y) => y[1].count - x[1].count)) text.push(`    ${slot.count}  ${category}  [${pagesOf(slot)}]`);
  }
  text.push('');
}

const quote = (b) => {
  const what = b.line || `${b.element}${b.text ? ` "${b.text}"` : ''}`;
  const why = [b.category, b.chromium && `Chromium: ${b.chromium}`, b.element && b.line && b.element, b.why].filter(Boolean).join(' | ');
  return `     ${what}  --  ${why}`;
};
for (const p of judged) {
  const any = CHECKS.some((c) => p.breaks[c] || p.explained[c]) || p.errors.length || Object.keys(p.notes).length;
  if (!any) continue;
  text.push(`== ${p.group}/${p.name}  ${p.title}  ${p.url}`);
  for (const e of p.errors) text.push(`   error: ${e}`);
  for (const c of CHECKS) {
    const list = p.details[c];
    if (!list.length) continue;
    text.push(`   ${c} (${list.length}):`);
    for (const b of list.slice(0, SHOWN)) text.push(quote(b));
    if (list.length > SHOWN) text.push(`     … ${list.length - SHOWN} more`);
  }
  for (const c of CHECKS) {
    const byKind = new Map();
    for (const b of p.explainedDetails[c]) byKind.set(b.category, [...(byKind.get(b.category) || []), b]);
    for (const [category, list] of byKind) {
      text.push(`   explained, ${c}, ${category} (${list.length}):`);
      for (const b of list.slice(0, 2)) text.push(quote({ ...b, category: undefined }));
      if (list.length > 2) text.push(`     … ${list.length - 2} more`);
    }
  }
  for (const [category, list] of Object.entries(p.notes)) {
    const first = list[0];
    text.push(`   note, ${category} (${list.length})${first.line ? `: ${first.line}${first.chromium ? `  Chromium: ${first.chromium}` : ''}` : ''}`);
  }
}
if (summaryFile) writeFileSync(summaryFile, text.join('\n') + '\n');
else process.stdout.write(text.join('\n') + '\n');
