// ---------------------------------------------------------------------------
// Signs that a person clicks an element beyond its role: a listener the
// page's own script gave it, and the pointer hand that the style sheets'
// :hover rules give it.

// The page's world notes the elements its script listens on (listeners.js)
// and names those noted since it was last asked, when asked, by an event of
// a type made up for the run. Each listened-on element is kept with what its
// listener answers: 'click' (a click or the press that starts one) or 'key'.
const NOTE_TYPE = '@VESK_NOTE_TYPE@';
const noting = !NOTE_TYPE.startsWith('@');
const notes = new WeakMap();
let anyNotes = false;
let collecting = false;
if (noting) {
    for (const kind of ['click', 'key']) {
        window.addEventListener(NOTE_TYPE + ':note-' + kind, e => {
            if (!collecting) return;
            const el = e.composedPath()[0];
            if (!el || el.nodeType !== 1 || notes.get(el) === 'click') return;
            notes.set(el, kind);
            anyNotes = true;
        }, true);
    }
}

let pageRoots = new WeakMap();

function readNotes() {
    pageRoots = new WeakMap();
    if (!noting) return;
    collecting = true;
    try {
        document.dispatchEvent(new Event(NOTE_TYPE + ':ask'));
    } finally {
        collecting = false;
    }
}

// Whether a listener on the element answers a person on it: not when the
// element holds the whole page, where a framework listens for every element
// alike (event delegation at an application's root).
const listenedOn = el => anyNotes && notes.has(el) && !holdsPage(el);
const clicksListenedOn = el => anyNotes && notes.get(el) === 'click' && !holdsPage(el);

// An application's root: the document's body or main content, the element
// the page's visible content all sits in (whatever stands beside it on the
// way up shows nothing), or one that holds the page's own landmarks, which no
// component's box does.
const PAGE_LANDMARKS = 'main, nav, h1, [role="main"], [role="navigation"], [role="banner"], [role="contentinfo"]';
function holdsPage(el) {
    let held = pageRoots.get(el);
    if (held === undefined) {
        held = /^(html|body|main)$/.test(el.localName) || el.getAttribute('role') === 'main' ||
            !!el.querySelector(PAGE_LANDMARKS) || !!(el.shadowRoot && el.shadowRoot.querySelector(PAGE_LANDMARKS)) ||
            soleContent(el);
        pageRoots.set(el, held);
    }
    return held;
}

function soleContent(el) {
    for (let node = el; node && node !== document.body && node !== document.documentElement; ) {
        const parent = node.parentNode;
        if (!parent) return false;
        for (let sibling = parent.firstElementChild; sibling; sibling = sibling.nextElementSibling) {
            if (sibling === node || SKIP_TAGS.has(sibling.localName)) continue;
            const r = sibling.checkVisibility() ? sibling.getBoundingClientRect() : null;
            if (r && r.width * r.height > 0) return false;
        }
        node = parent.nodeType === 11 ? parent.host : parent;
    }
    return true;
}

// The rules that show the pointer hand under the pointer (`.menu a:hover
// { cursor: pointer }`), or a cursor that says the element is dragged
// (`.resize-handle:hover { cursor: ew-resize }`), their selectors written to
// match the element at rest and kept per style sheet until its rules change;
// for each tree, filed once a walk by what the last compound of each selector
// asks of an element (an id, a class, a tag, or nothing), so that an element
// is matched only against the selectors that could match it.
const hoverRules = new WeakMap();   // sheet -> {count, rules: [{selector, key, hand}]}
let hoverIndexes = new Map();       // tree -> Map(key -> [{selector, hand}])

// Cursors that say an element is dragged (moved, resized), not clicked.
const DRAG_CURSOR = /^(move|grab|grabbing|all-scroll|[a-z]+-resize)$/;
const lastCursor = cursor => cursor.slice(cursor.lastIndexOf(',') + 1).trim();

function hoverRulesOf(sheet) {
    let list;
    try {
        list = sheet.cssRules;
    } catch (e) {
        return [];   // another origin's style sheet keeps its rules from scripts
    }
    const kept = hoverRules.get(sheet);
    if (kept && kept.count === list.length) return kept.rules;
    const found = [];
    const take = rules => {
        for (const rule of rules) {
            if (rule.styleSheet) {
                found.push(...hoverRulesOf(rule.styleSheet));
                continue;
            }
            if (rule.cssRules && !(rule instanceof CSSStyleRule)) {
                take(rule.cssRules);
                continue;
            }
            const text = rule.selectorText;
            if (!text || !text.includes(':hover') || !rule.style) continue;
            const cursor = lastCursor(rule.style.cursor);
            const hand = cursor === 'pointer';
            if (!hand && !DRAG_CURSOR.test(cursor)) continue;
            for (const part of topLevel(text, ',')) {
                // The hand shows over the element whose part is hovered; an
                // element hovered matches at rest what it matches hovered.
                const selector = part.trim().replace(/(?<!\\):hover\b/g, ':is(*)').replace(/::?(before|after|marker)\b/g, '');
                try {
                    document.createElement('i').matches(selector);
                    found.push({ selector, key: lastCompoundKey(selector), hand });
                } catch (e) { /* a selector this engine cannot match */ }
            }
        }
    };
    take(list);
    hoverRules.set(sheet, { count: list.length, rules: found });
    return found;
}

// The text with what brackets and parentheses hold blanked out, for finding
// the commas and combinators of the selector itself.
function unbracketed(text) {
    let depth = 0, out = '';
    for (let i = 0; i < text.length; i++) {
        const c = text[i];
        if (c === '\\') {
            out += depth ? '__' : text.slice(i, i + 2);
            i++;
        } else if (c === '(' || c === '[') {
            out += depth ? '_' : c;
            depth++;
        } else if (c === ')' || c === ']') {
            depth = Math.max(0, depth - 1);
            out += depth ? '_' : c;
        } else {
            out += depth ? '_' : c;
        }
    }
    return out;
}

function topLevel(text, separator) {
    const flat = unbracketed(text), parts = [];
    let from = 0;
    for (let at = flat.indexOf(separator); at >= 0; at = flat.indexOf(separator, at + 1)) {
        parts.push(text.slice(from, at));
        from = at + 1;
    }
    parts.push(text.slice(from));
    return parts;
}

function lastCompoundKey(selector) {
    const flat = unbracketed(selector);
    const last = flat.slice(Math.max(...[' ', '>', '+', '~'].map(c => flat.lastIndexOf(c))) + 1);
    const name = /(?:\\.|[\w-])+/.source, unescape = n => n.replace(/\\(.)/g, '$1');
    let m = new RegExp('#(' + name + ')').exec(last);
    if (m) return '#' + unescape(m[1]);
    m = new RegExp('\\.(' + name + ')').exec(last);
    if (m) return '.' + unescape(m[1]);
    m = /^([a-zA-Z][\w-]*)/.exec(last);
    return m ? m[1].toLowerCase() : '*';
}

function hoverIndex(root) {
    let index = hoverIndexes.get(root);
    if (!index) {
        index = new Map();
        const sheets = [...(root.styleSheets || []), ...(root.adoptedStyleSheets || [])];
        for (const sheet of sheets) {
            for (const { selector, key, hand } of hoverRulesOf(sheet)) {
                const filed = index.get(key);
                if (filed) filed.push({ selector, hand });
                else index.set(key, [{ selector, hand }]);
            }
        }
        hoverIndexes.set(root, index);
    }
    return index;
}

// Whether the element shows the pointer hand (`hand`), or a cursor that
// drags it, under the pointer by a rule of its own tree's style sheets.
function hoverCursor(el, hand) {
    const index = hoverIndex(el.getRootNode());
    if (!index.size) return false;
    const keys = ['*', el.localName];
    if (el.id) keys.push('#' + el.id);
    for (const name of el.classList) keys.push('.' + name);
    for (const key of keys) {
        const rules = index.get(key);
        if (rules && rules.some(rule => rule.hand === hand && matchesSafe(el, rule.selector))) return true;
    }
    return false;
}
const hoverPointer = el => hoverCursor(el, true);

// Whether the element's cursor says a person drags it (a column's resize
// handle, a grip), at rest or under the pointer.
const dragged = el => DRAG_CURSOR.test(lastCursor(styleOf(el).cursor)) || hoverCursor(el, false);

// An item of a list whose box listens for the clicks on them all (event
// delegation): an element that repeats among its siblings, at least three of
// them sharing its tag, its role and a class name, or having no class.
// Headings, labels and captions name what they stand by, not items.
const NOT_ITEMS = new Set(['h1', 'h2', 'h3', 'h4', 'h5', 'h6', 'label', 'legend', 'caption', 'figcaption']);
const DELEGATED_NAME_LIMIT = 40;   // an item's name is short text
let alike = new Map();   // parent -> Map(key -> count)
const alikeKeys = el => {
    const base = el.localName + ' ' + (el.getAttribute('role') || '');
    return el.classList.length ? Array.from(el.classList, c => base + ' ' + c) : [base];
};
function repeatedItem(el) {
    if (NOT_ITEMS.has(el.localName)) return false;
    const parent = el.parentNode;
    if (!parent) return false;
    let counts = alike.get(parent);
    if (!counts) {
        counts = new Map();
        for (let child = parent.firstElementChild; child; child = child.nextElementSibling) {
            for (const key of alikeKeys(child)) counts.set(key, (counts.get(key) || 0) + 1);
        }
        alike.set(parent, counts);
    }
    return alikeKeys(el).some(key => counts.get(key) >= 3);
}

// Signs read afresh for each walk of the page and each click of a person.
function readClickSigns() {
    hoverIndexes = new Map();
    alike = new Map();
    readNotes();
}
