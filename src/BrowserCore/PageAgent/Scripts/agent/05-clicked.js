// ---------------------------------------------------------------------------
// Signs that a person clicks an element beyond its role: a listener the
// page's own script gave it, and the pointer hand that the style sheets'
// :hover rules give it.

// The page's world notes the elements its script listens on (listeners.js)
// and names them, when asked, by an event of a type made up for the run.
const NOTE_TYPE = '@VESK_NOTE_TYPE@';
const noting = !NOTE_TYPE.startsWith('@');
let collected = null;
if (noting) {
    for (const kind of ['click', 'key']) {
        window.addEventListener(NOTE_TYPE + ':note-' + kind, e => {
            if (!collected) return;
            const el = e.composedPath()[0];
            if (el && el.nodeType === 1 && collected.get(el) !== 'click') collected.set(el, kind);
        }, true);
    }
}

// Each listened-on element with what its listener answers: 'click' (a
// click or the press that starts one) or 'key'.
let notes = new Map();
let pageRoots = new WeakMap();

function readNotes() {
    pageRoots = new WeakMap();
    if (!noting) return;
    collected = new Map();
    try {
        document.dispatchEvent(new Event(NOTE_TYPE + ':ask'));
        notes = collected;
    } finally {
        collected = null;
    }
}

// Whether a listener on the element answers a person on it: not when the
// element holds the whole page, where a framework listens for every element
// alike (event delegation at an application's root).
const listenedOn = el => notes.size > 0 && notes.has(el) && !holdsPage(el);
const clicksListenedOn = el => notes.get(el) === 'click' && !holdsPage(el);

// An application's root: the element the page's visible content all sits in
// (whatever stands beside it on the way up shows nothing), or one that holds
// the page's own landmarks, which no component's box does.
const PAGE_LANDMARKS = 'main, nav, h1, [role="main"], [role="navigation"], [role="banner"], [role="contentinfo"]';
function holdsPage(el) {
    let held = pageRoots.get(el);
    if (held === undefined) {
        held = soleContent(el) || !!el.querySelector(PAGE_LANDMARKS) ||
            !!(el.shadowRoot && el.shadowRoot.querySelector(PAGE_LANDMARKS));
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

// The selectors of the rules that show the pointer hand under the pointer
// (`.menu a:hover { cursor: pointer }`), written to match the element at
// rest: each tree's as one list, kept per style sheet until its rules change.
const hoverRules = new WeakMap();   // sheet -> {count, selectors}
let hoverLists = new Map();         // tree -> selector list ('' for none)

function hoverSelectorsOf(sheet) {
    let rules;
    try {
        rules = sheet.cssRules;
    } catch (e) {
        return [];   // another origin's style sheet keeps its rules from scripts
    }
    const kept = hoverRules.get(sheet);
    if (kept && kept.count === rules.length) return kept.selectors;
    const selectors = [];
    const take = list => {
        for (const rule of list) {
            if (rule.cssRules && !(rule instanceof CSSStyleRule)) {
                take(rule.cssRules);
                continue;
            }
            const text = rule.selectorText;
            if (!text || !text.includes(':hover') || !rule.style || rule.style.cursor !== 'pointer') continue;
            // The hand shows over the element whose part is hovered; an
            // element hovered matches at rest what it matches hovered.
            const atRest = text.replace(/:hover\b/g, ':is(*)').replace(/::?(before|after|marker)\b/g, '');
            try {
                document.createElement('i').matches(atRest);
                selectors.push(atRest);
            } catch (e) { /* a selector this engine cannot match */ }
        }
    };
    take(rules);
    hoverRules.set(sheet, { count: rules.length, selectors });
    return selectors;
}

function hoverList(root) {
    let list = hoverLists.get(root);
    if (list === undefined) {
        const selectors = [];
        const sheets = [...(root.styleSheets || []), ...(root.adoptedStyleSheets || [])];
        for (const sheet of sheets) selectors.push(...hoverSelectorsOf(sheet));
        list = selectors.join(', ');
        hoverLists.set(root, list);
    }
    return list;
}

// Whether the element shows the pointer hand under the pointer by a rule of
// its own tree's style sheets.
function hoverPointer(el) {
    const list = hoverList(el.getRootNode());
    return !!list && matchesSafe(el, list);
}

// Signs read afresh for each walk of the page.
function readClickSigns() {
    hoverLists = new Map();
    readNotes();
}
