// Compares two results of the element-list audit (report.mjs's JSON), page
// by page and check by check, and lists the breaks that went and those that
// came, and the explained differences in all (a result without them counts
// none). Refs differ between runs, so a break is known by its check, its
// line and reason without refs, and its element; its category may change.
//   node compare.mjs BEFORE.json AFTER.json

import { readFileSync } from 'node:fs';

const [beforeFile, afterFile] = process.argv.slice(2);
const before = JSON.parse(readFileSync(beforeFile, 'utf8'));
const after = JSON.parse(readFileSync(afterFile, 'utf8'));
const checks = after.checks;
const key = (page) => `${page.group}/${page.name}`;
const withoutRef = (line) => String(line ?? '').replace(/\[e\d+(?: to e\d+)?\] /, '').replace(/\[e\d+\]/g, '[e]');
const breakKey = (check, b) => [check, withoutRef(b.line), b.element, b.text, b.chromium, withoutRef(b.why)].join(' | ');

const beforePages = new Map(before.pages.map((p) => [key(p), p]));
const out = ['page'.padEnd(46) + checks.map((c) => c.padStart(12)).join('')];
const changes = [];
for (const page of after.pages) {
  const old = beforePages.get(key(page));
  const cells = checks.map((c) => `${old ? old.breaks[c] : '-'}\u2192${page.breaks[c]}`.padStart(12));
  out.push(key(page).slice(0, 45).padEnd(46) + cells.join(''));
  if (!old) continue;
  for (const check of checks) {
    const was = new Set(old.details[check].map((b) => breakKey(check, b)));
    const is = new Set(page.details[check].map((b) => breakKey(check, b)));
    for (const k of was) if (!is.has(k)) changes.push(`${key(page)}  gone: ${k}`);
    for (const k of is) if (!was.has(k)) changes.push(`${key(page)}  new:  ${k}`);
  }
}
const total = (result, kind, c) => result.totals[kind]?.[c] ?? '-';
out.push('total'.padEnd(46) + checks.map((c) => `${total(before, 'breaks', c)}\u2192${total(after, 'breaks', c)}`.padStart(12)).join(''));
out.push('explained'.padEnd(46) + checks.map((c) => `${total(before, 'explained', c)}\u2192${total(after, 'explained', c)}`.padStart(12)).join(''), '');
process.stdout.write([...out, ...changes].join('\n') + '\n');
