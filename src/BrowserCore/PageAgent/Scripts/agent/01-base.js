// The page agent. It runs at document start in every frame, in the isolated
// world "Vesk", so page scripts can neither see nor call it. The session
// drives it through `__agent.call(command, args)`, which answers the JSON text
// of an envelope: {"ok": true, "value": …} or {"ok": false, "code": …,
// "message": …}. It also posts the frame's id on the "frame" channel when it
// starts in a document (and when the document comes back from the back/forward
// cache), and the person's own actions on the "person" channel.
//
// What it lists is what a person sees and can use: visible interactive
// elements, named the way assistive technology names them, with their state,
// and the page's visible text. It never changes the page's DOM: refs live in a
// WeakMap, not in attributes.
(() => {
'use strict';

if (globalThis.__agent) return;

// ---------------------------------------------------------------------------
// Limits (UTF-16 code units).
const NAME_LIMIT = 150;
const VALUE_LIMIT = 200;
const CONTEXT_LIMIT = 80;
const TEXT_LIMIT = 200000;
const OPTIONS_SHOWN = 10;
const MIN_SIZE = 2;   // a box thinner than this in either direction shows nothing

// ---------------------------------------------------------------------------
// Small helpers.

const collapse = s => String(s).replace(/\s+/g, ' ').trim();

function cut(s, n) {
    if (s.length <= n) return s;
    let head = s.slice(0, n - 1);
    if (/[\uD800-\uDBFF]$/.test(head)) head = head.slice(0, -1);
    return head + '\u2026';
}

const quote = s => '"' + String(s).replace(/["\\]/g, m => '\\' + m) + '"';

// What the agent asked to type, as it wrote it: a text whose references the
// session replaced comes with its written form, which is what a message
// quotes, never the values put in.
const asWritten = (args, typed) => typeof args.written === 'string' ? args.written : typed;

class AgentFailure extends Error {
    constructor(code, message) {
        super(message || '');
        this.code = code;
    }
}

function fail(code, message) {
    throw new AgentFailure(code, message);
}

// JSON text the session can read: a lone surrogate (half of a character the
// page cut in two) would make the whole reply undecodable, so it becomes
// U+FFFD, as in any UTF-8 text.
const LONE_SURROGATE = /\\u[dD][89a-fA-F][0-9a-fA-F]{2}/;
function toJSON(value) {
    const text = JSON.stringify(value);
    if (!LONE_SURROGATE.test(text)) return text;
    return JSON.stringify(value, (key, v) => typeof v === 'string' ? v.replace(
        /[\uD800-\uDBFF](?![\uDC00-\uDFFF])|(?<![\uD800-\uDBFF])[\uDC00-\uDFFF]/g, '\uFFFD') : v);
}

function randomId() {
    const bytes = new Uint8Array(8);
    crypto.getRandomValues(bytes);
    return Array.from(bytes, b => b.toString(16).padStart(2, '0')).join('');
}

// The web process gives each frame its id before any user script runs; a
// frame without one still needs an id that its scans and announcements share.
const ownFrameId = randomId();
function frameId() {
    const given = globalThis.__veskFrameId;
    if (typeof given === 'string' && given) return given;
    if (typeof given === 'number' && Number.isFinite(given)) return String(given);
    return ownFrameId;
}

// The web process gives this world a function that posts to the session; the
// session learns from the web process which frame and page a message came
// from.
function post(channel, body) {
    try {
        const send = globalThis.__veskPost;
        if (typeof send === 'function') send(channel, body);
    } catch (e) {
        // The session may be gone; the page must not notice.
    }
}

// The origin of this frame's document, as its committed address gives it; the
// text 'null' when the document has no origin of its own to give (about:blank,
// srcdoc and data: documents, a sandboxed frame, whose security origin is
// opaque or inherited). Such a document receives no stored values.
function documentOrigin() {
    try {
        const own = location.origin;
        return own !== 'null' && own === self.origin ? own : 'null';
    } catch (e) {
        return 'null';
    }
}

const isTopFrame = (() => {
    try { return window.top === window; } catch (e) { return false; }
})();

// The document's address when it was loaded, before any history.pushState.
const loadedFrom = location.href;

// ---------------------------------------------------------------------------
// Flat tree: open shadow roots and slots, as the page is rendered.

function flatChildren(node) {
    if (node.nodeType === 1) {
        const shadow = node.shadowRoot;
        if (shadow) return shadow.childNodes;
        if (node.localName === 'slot' && node.getRootNode().host) {
            const assigned = node.assignedNodes();
            if (assigned.length) return assigned;
        }
    }
    return node.childNodes;
}

function flatParent(node) {
    const slot = node.assignedSlot;
    if (slot) return slot;
    const parent = node.parentNode;
    if (parent && parent.nodeType === 11 && parent.host) return parent.host;
    return parent;
}

// Whether `inner` is `outer` or lies inside it, across shadow boundaries.
function containsDeep(outer, inner) {
    for (let node = inner; node; ) {
        if (node === outer) return true;
        const parent = node.parentNode;
        node = parent && parent.nodeType === 11 && parent.host ? parent.host : parent;
    }
    return false;
}

function closestDeep(el, test) {
    for (let node = el; node; node = flatParent(node)) {
        if (node.nodeType === 1 && test(node)) return node;
    }
    return null;
}

function deepActiveElement() {
    let el = document.activeElement;
    while (el && el.shadowRoot && el.shadowRoot.activeElement) el = el.shadowRoot.activeElement;
    return el;
}

function deepElementFromPoint(x, y) {
    let hit = document.elementFromPoint(x, y);
    while (hit && hit.shadowRoot) {
        const inner = hit.shadowRoot.elementFromPoint(x, y);
        if (!inner || inner === hit) break;
        hit = inner;
    }
    return hit;
}

// querySelectorAll that also accepts "host >>> inner" to reach into open
// shadow roots (the selectors that "locator" writes for shadow content).
function queryAllDeep(selector) {
    const parts = String(selector).split('>>>').map(s => s.trim());
    if (parts.some(p => !p)) throw new SyntaxError('empty part around >>>');
    let scopes = [document];
    for (let i = 0; i < parts.length; i++) {
        const found = [];
        for (const scope of scopes) {
            for (const el of scope.querySelectorAll(parts[i])) {
                if (i === parts.length - 1) found.push(el);
                else if (el.shadowRoot) found.push(el.shadowRoot);
            }
        }
        scopes = found;
    }
    return scopes;
}

function queryOrFail(selector, command) {
    try {
        return queryAllDeep(selector);
    } catch (e) {
        fail(null, `${command}: the selector ${quote(selector)} is not valid CSS` +
            (e && e.message ? ` (${e.message})` : '') + '. Write it as for document.querySelector, such as "#login" or "form button[type=submit]".');
    }
}

// Computed styles are live: one kept per element serves every later scan.
const styles = new WeakMap();
function styleOf(el) {
    let cs = styles.get(el);
    if (!cs) {
        cs = getComputedStyle(el);
        styles.set(el, cs);
    }
    return cs;
}

// ---------------------------------------------------------------------------
// Rectangles, in CSS pixels of the frame's viewport.

const EMPTY = { l: 0, t: 0, r: 0, b: 0 };

function intersect(a, b) {
    const l = Math.max(a.l, b.l), t = Math.max(a.t, b.t);
    const r = Math.min(a.r, b.r), bottom = Math.min(a.b, b.b);
    return r > l && bottom > t ? { l, t, r, b: bottom } : null;
}

function union(a, b) {
    if (!a) return b;
    if (!b) return a;
    return { l: Math.min(a.l, b.l), t: Math.min(a.t, b.t), r: Math.max(a.r, b.r), b: Math.max(a.b, b.b) };
}

const rectOf = r => ({ l: r.left, t: r.top, r: r.right, b: r.bottom });
const shows = r => r && r.r - r.l >= MIN_SIZE && r.b - r.t >= MIN_SIZE;
const viewportRect = () => ({ l: 0, t: 0, r: window.innerWidth, b: window.innerHeight });

