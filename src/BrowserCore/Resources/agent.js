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

function post(channel, body) {
    try {
        const handler = globalThis.webkit && globalThis.webkit.messageHandlers &&
            globalThis.webkit.messageHandlers[channel];
        if (handler) handler.postMessage(body);
    } catch (e) {
        // The session may be gone; the page must not notice.
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

// ---------------------------------------------------------------------------
// Clipping as the person sees it. A walk state carries, for the children of
// an element, the area they can be seen in ("hard": overflow hidden or clip,
// and what lies before the document's start, which no scrolling reaches) and
// the area they show in now ("view": every clip, scroll containers included).
// Absolutely positioned children are clipped only by what clips their
// containing block, so the state keeps those areas apart.

function rootClips() {
    const html = document.documentElement, body = document.body;
    const sx = window.scrollX, sy = window.scrollY;
    const hard = { l: -sx, t: -sy, r: Infinity, b: Infinity };
    // Content pushed sideways off a page that cannot scroll sideways (an
    // off-canvas menu) cannot be reached.
    const hiddenX = el => {
        if (!el) return false;
        const o = styleOf(el).overflowX;
        return o === 'hidden' || o === 'clip';
    };
    if (hiddenX(html) || hiddenX(body)) hard.r = document.documentElement.clientWidth - sx;
    const view = viewportRect();
    return { hard, view, absHard: hard, absView: view };
}

// The clips that apply to an element itself, given its parent's state.
function ownClips(state, position) {
    if (position === 'fixed') {
        const vp = viewportRect();
        return { hard: vp, view: vp };
    }
    if (position === 'absolute') return { hard: state.absHard, view: state.absView };
    return state;
}

// The state for an element's children.
function childClips(state, el, cs, position, box, own) {
    let hard = own.hard, view = own.view;
    const tag = el.localName;
    if (box && tag !== 'html' && tag !== 'body') {
        const overflow = cs.overflow;
        if (overflow !== 'visible') {
            const [ox, oy = ox] = overflow.split(' ');
            const inner = {
                l: box.l + el.clientLeft, t: box.t + el.clientTop,
                r: box.l + el.clientLeft + el.clientWidth, b: box.t + el.clientTop + el.clientHeight,
            };
            const clipX = ox === 'hidden' || ox === 'clip', clipY = oy === 'hidden' || oy === 'clip';
            const scrolls = ox === 'auto' || ox === 'scroll' || oy === 'auto' || oy === 'scroll';
            const seen = intersect(box, own.hard);
            if (scrolls && !seen) {
                hard = EMPTY;
            } else {
                hard = {
                    l: clipX ? Math.max(hard.l, inner.l) : (ox === 'visible' ? hard.l : -Infinity),
                    r: clipX ? Math.min(hard.r, inner.r) : (ox === 'visible' ? hard.r : Infinity),
                    t: clipY ? Math.max(hard.t, inner.t) : (oy === 'visible' ? hard.t : -Infinity),
                    b: clipY ? Math.min(hard.b, inner.b) : (oy === 'visible' ? hard.b : Infinity),
                };
            }
            view = intersect(view, inner) || EMPTY;
        }
        if (position === 'absolute' || position === 'fixed') {
            const clip = cs.clip;
            if (clip && clip !== 'auto' && /^rect/.test(clip)) {
                const n = clip.match(/-?[\d.]+/g) || [];
                if (n.length === 4) {
                    const c = { l: box.l + +n[3], t: box.t + +n[0], r: box.l + +n[1], b: box.t + +n[2] };
                    hard = intersect(hard, c) || EMPTY;
                    view = intersect(view, c) || EMPTY;
                }
            }
        }
    }
    const positioned = position !== 'static';
    if (hard === state.hard && view === state.view && !positioned) return state;
    return {
        hard, view,
        absHard: positioned ? hard : state.absHard,
        absView: positioned ? view : state.absView,
    };
}

// Where an element can be seen, or null when a person cannot see it at all:
// not rendered, display none, visibility hidden, opacity 0, no size, clipped
// away, or off the page where no scrolling reaches. `view` is the part that
// is on screen now (null when none).
function visibility(el) {
    if (!el || !el.isConnected || el.nodeType !== 1) return null;
    const chain = [];
    for (let node = flatParent(el); node && node.nodeType === 1; node = flatParent(node)) chain.push(node);
    let state = rootClips();
    for (let i = chain.length - 1; i >= 0; i--) {
        const a = chain[i];
        const cs = styleOf(a);
        if (cs.display === 'none') return null;
        const position = cs.position;
        const own = ownClips(state, position);
        const box = cs.display === 'contents' ? null : rectOf(a.getBoundingClientRect());
        state = childClips(state, a, cs, position, box, own);
    }
    return visibilityIn(el, state, 0);
}

function visibilityIn(el, state, depth) {
    const cs = styleOf(el);
    const display = cs.display;
    if (display === 'none') return null;
    if (display === 'contents' || !el.checkVisibility({ opacityProperty: true, visibilityProperty: true })) {
        if (display !== 'contents' && !el.checkVisibility({ opacityProperty: true })) return null;
        // Children may still show: visibility is inherited but can be undone.
        return depth < 3 ? childrenVisibility(el, cs, state, null, depth) : null;
    }
    const position = cs.position;
    const own = ownClips(state, position);
    const box = rectOf(el.getBoundingClientRect());
    const seen = intersect(box, own.hard);
    if (shows(seen)) {
        const view = intersect(seen, own.view);
        return { rect: seen, view: shows(view) ? intersect(view, viewportRect()) : null };
    }
    // A box without size can still hold content that shows (an inline link
    // around a block, a collapsed container whose content overflows).
    if (depth < 3 && cs.overflow === 'visible') {
        return childrenVisibility(el, cs, childClips(state, el, cs, position, box, own), box, depth);
    }
    return null;
}

function childrenVisibility(el, cs, state, box, depth) {
    let rect = null, view = null;
    for (const child of flatChildren(el)) {
        if (child.nodeType !== 1) continue;
        const v = visibilityIn(child, state, depth + 1);
        if (v) {
            rect = union(rect, v.rect);
            view = union(view, v.view);
        }
    }
    return rect ? { rect, view } : null;
}

// The labels of each control, found once per command and tree: the engine's
// own list walks the whole document for every control whose labels are asked
// for after the page last changed.
let labelMaps = new Map();
function labelsOf(el) {
    const root = el.getRootNode();
    let map = labelMaps.get(root);
    if (!map) {
        map = new Map();
        if (root.querySelectorAll) {
            for (const label of root.querySelectorAll('label')) {
                const control = label.control;
                if (!control) continue;
                const list = map.get(control);
                if (list) list.push(label);
                else map.set(control, [label]);
            }
        }
        labelMaps.set(root, map);
    }
    return map.get(el) || [];
}

// A checkbox or radio button hidden behind a styled label is used through
// that label: the label stands in for it on the page.
function labelStandIn(el) {
    if (el.localName !== 'input' || !/^(checkbox|radio|file)$/.test(el.type)) return null;
    for (const label of labelsOf(el)) {
        const v = visibility(label);
        if (v) return { label, v };
    }
    return null;
}

// ---------------------------------------------------------------------------
// Roles, as the HTML accessibility mappings give them.

const KNOWN_ROLES = new Set(('alert alertdialog application article banner blockquote button caption cell checkbox ' +
    'code columnheader combobox complementary contentinfo definition deletion dialog document emphasis feed figure ' +
    'form generic grid gridcell group heading img insertion link list listbox listitem log main marquee math menu ' +
    'menubar menuitem menuitemcheckbox menuitemradio meter navigation none note option paragraph presentation ' +
    'progressbar radio radiogroup region row rowgroup rowheader scrollbar search searchbox separator slider ' +
    'spinbutton status strong subscript superscript switch tab table tablist tabpanel term textbox time timer ' +
    'toolbar tooltip tree treegrid treeitem').split(' '));

// Roles a person acts on: an element with one of them is listed.
const WIDGET_ROLES = new Set(['button', 'checkbox', 'combobox', 'link', 'listbox', 'menuitem', 'menuitemcheckbox',
    'menuitemradio', 'option', 'radio', 'searchbox', 'slider', 'spinbutton', 'switch', 'tab', 'textbox',
    'treeitem']);

// Roles whose name comes from their content.
const NAME_FROM_CONTENT = new Set(['button', 'cell', 'checkbox', 'columnheader', 'gridcell', 'heading', 'link',
    'menuitem', 'menuitemcheckbox', 'menuitemradio', 'option', 'radio', 'row', 'rowheader', 'switch', 'tab',
    'tooltip', 'treeitem', 'generic']);

const TEXT_INPUTS = /^(text|search|email|url|tel|password|number|date|time|datetime-local|month|week|color|range)$/;

function explicitRole(el) {
    const attr = el.getAttribute('role');
    if (!attr) return null;
    for (const token of attr.trim().toLowerCase().split(/\s+/)) {
        if (KNOWN_ROLES.has(token)) return token;
    }
    return null;
}

function nativeRole(el) {
    switch (el.localName) {
    case 'a':
    case 'area':
        return el.hasAttribute('href') ? 'link' : null;
    case 'button':
        return 'button';
    case 'input':
        switch (el.type) {
        case 'hidden': return null;
        case 'button': case 'submit': case 'reset': case 'image': case 'file': return 'button';
        case 'checkbox': return 'checkbox';
        case 'radio': return 'radio';
        case 'range': return 'slider';
        case 'number': return 'spinbutton';
        case 'search': return el.hasAttribute('list') ? 'combobox' : 'searchbox';
        default: return el.hasAttribute('list') ? 'combobox' : 'textbox';
        }
    case 'select':
        return el.multiple || el.size > 1 ? 'listbox' : 'combobox';
    case 'textarea':
        return 'textbox';
    case 'summary':
        return el.parentElement && el.parentElement.localName === 'details' &&
            el.parentElement.querySelector(':scope > summary') === el ? 'button' : null;
    case 'option':
        return 'option';
    }
    // Only an element that says so starts an editable region (the attribute
    // check spares the walk a style lookup on every element).
    const editable = el.getAttribute('contenteditable');
    if (editable !== null && editable !== 'false' && el.isContentEditable &&
        !(el.parentElement && el.parentElement.isContentEditable)) return 'textbox';
    return null;
}

// The role of an element without attributes: only its tag can give one.
function bareRole(el, tag) {
    switch (tag) {
    case 'button': return 'button';
    case 'input': return 'textbox';
    case 'select': return 'combobox';
    case 'textarea': return 'textbox';
    case 'summary': return nativeRole(el);
    }
    return null;
}

// The role of an element for the list, or null. Presentation roles on
// elements a person can operate are ignored, as browsers do.
function roleOf(el) {
    const explicit = explicitRole(el);
    const native = nativeRole(el);
    if (explicit && explicit !== 'none' && explicit !== 'presentation') return explicit;
    return native;
}

function isEditableText(el) {
    if (el.localName === 'textarea') return true;
    if (el.localName === 'input') return TEXT_INPUTS.test(el.type);
    return el.isContentEditable;
}

function fieldValue(el) {
    if (el.localName === 'input' || el.localName === 'textarea') return el.value;
    return el.isContentEditable ? el.innerText.replace(/\n$/, '') : '';
}

function isSecret(el) {
    if (el.localName !== 'input') return false;
    if (el.type === 'password') return true;
    return /\b(current-password|new-password)\b/.test(el.getAttribute('autocomplete') || '');
}

function isDisabled(el) {
    try {
        if (el.matches(':disabled')) return true;
    } catch (e) { /* not a form control */ }
    return el.getAttribute('aria-disabled') === 'true';
}

// ---------------------------------------------------------------------------
// Accessible names, after the W3C accessible name computation.

const BLOCK_TAGS = new Set(['address', 'article', 'aside', 'blockquote', 'br', 'dd', 'details', 'dialog', 'div',
    'dl', 'dt', 'fieldset', 'figcaption', 'figure', 'footer', 'form', 'h1', 'h2', 'h3', 'h4', 'h5', 'h6', 'header',
    'hr', 'li', 'main', 'nav', 'ol', 'p', 'pre', 'section', 'table', 'td', 'th', 'tr', 'ul']);
const SILENT_TAGS = new Set(['script', 'style', 'template', 'noscript', 'head', 'title', 'meta', 'link']);

function hiddenForName(el) {
    if (el.getAttribute('aria-hidden') === 'true') return true;
    if (el.checkVisibility({ visibilityProperty: true })) return false;
    return styleOf(el).display !== 'contents';
}

// `fromContent` names an element that has no role of its own (a clickable
// generic element) by its content, as a person reads it.
function accessibleName(el, fromContent) {
    let name = collapse(nameOf(el, { root: el, recursing: false, labelledBy: false, hiddenOk: false, fromContent: !!fromContent }));
    if (!name) name = collapse(pseudoText(el, '::before') + pseudoText(el, '::after'));
    return cut(name, NAME_LIMIT);
}

function referencedElements(el, attr) {
    const ids = el.getAttribute(attr);
    if (!ids) return [];
    const root = el.getRootNode();
    const found = [];
    for (const id of ids.trim().split(/\s+/)) {
        const ref = root.getElementById ? root.getElementById(id) : null;
        if (ref) found.push(ref);
    }
    return found;
}

// Guards against reference cycles the page may build (labels and
// aria-labelledby pointing back and forth).
let nameDepth = 0;

function nameOf(node, c) {
    if (node.nodeType === 3) return node.data;
    if (node.nodeType !== 1 || nameDepth > 40) return '';
    nameDepth++;
    try {
        return nameOfElement(node, c);
    } finally {
        nameDepth--;
    }
}

function nameOfElement(el, c) {
    if (SILENT_TAGS.has(el.localName)) return '';
    // A control met again inside its own label adds nothing to its name.
    if (c.recursing && el === c.root && !c.labelledBy) return '';
    if (el !== c.root && !c.hiddenOk && hiddenForName(el)) return '';

    if (!c.labelledBy) {
        const refs = referencedElements(el, 'aria-labelledby');
        if (refs.length) {
            const text = collapse(refs.map(ref => nameOf(ref, {
                root: c.root, recursing: true, labelledBy: true, hiddenOk: c.hiddenOk || hiddenForName(ref),
            })).join(' '));
            if (text) return text;
        }
    }

    const role = roleOf(el);
    if (c.recursing && el !== c.root) {
        const embedded = embeddedValue(el, role);
        if (embedded !== null) return embedded;
    }

    const label = el.getAttribute('aria-label');
    if (label && label.trim()) return label;

    const native = nativeName(el, c);
    if (native && native.trim()) return native;

    if (c.recursing || NAME_FROM_CONTENT.has(role) || (el === c.root && c.fromContent)) {
        const text = contentName(el, c);
        if (text.trim()) return text;
    }
    return el.getAttribute('title') || '';
}

// The value of a control that sits inside another element's label.
function embeddedValue(el, role) {
    const tag = el.localName;
    if (tag === 'select') {
        return Array.from(el.selectedOptions, o => o.label || o.text).join(' ');
    }
    if (tag === 'input' && /^(button|submit|reset|image|checkbox|radio|file|hidden)$/.test(el.type)) return null;
    if (tag === 'input' || tag === 'textarea') return el.value;
    if (role === 'textbox' || role === 'searchbox') return el.textContent;
    if (role === 'slider' || role === 'spinbutton') {
        return el.getAttribute('aria-valuetext') || el.getAttribute('aria-valuenow') || '';
    }
    return null;
}

function labelsName(el, c) {
    const labels = labelsOf(el);
    if (!labels.length) return '';
    return collapse(labels.map(label => nameOf(label, {
        root: c.root, recursing: true, labelledBy: false, hiddenOk: true,
    })).join(' '));
}

function nativeName(el, c) {
    switch (el.localName) {
    case 'input': {
        const type = el.type;
        if (type === 'button' || type === 'submit' || type === 'reset') {
            if (el.hasAttribute('value')) return el.value;
            return type === 'submit' ? 'Submit' : type === 'reset' ? 'Reset' : labelsName(el, c);
        }
        if (type === 'image') return el.alt || el.value || el.title || 'Submit';
        return labelsName(el, c) || el.title || el.placeholder || el.getAttribute('aria-placeholder') || '';
    }
    case 'textarea':
        return labelsName(el, c) || el.title || el.placeholder || el.getAttribute('aria-placeholder') || '';
    case 'select':
    case 'meter':
    case 'progress':
    case 'output':
        return labelsName(el, c) || el.title || '';
    case 'button':
        return labelsName(el, c);
    case 'fieldset': {
        const legend = el.querySelector(':scope > legend');
        return legend ? nameOf(legend, { ...c, recursing: true }) : '';
    }
    case 'figure': {
        const caption = el.querySelector(':scope > figcaption');
        return caption ? nameOf(caption, { ...c, recursing: true }) : '';
    }
    case 'table': {
        const caption = el.caption;
        return caption ? nameOf(caption, { ...c, recursing: true }) : '';
    }
    case 'img':
    case 'area':
        return el.getAttribute('alt') || '';
    case 'svg': {
        const title = el.querySelector(':scope > title');
        return title ? title.textContent : '';
    }
    case 'optgroup':
        return el.label;
    case 'iframe':
        return el.title;
    }
    if (el.isContentEditable && !c.recursing) {
        return el.title || el.getAttribute('aria-placeholder') || '';
    }
    return '';
}

function contentName(el, c) {
    if (el.localName === 'textarea' || el.localName === 'select' || el.localName === 'input') return '';
    const inner = { root: c.root, recursing: true, labelledBy: c.labelledBy, hiddenOk: c.hiddenOk };
    let text = '';
    for (const child of flatChildren(el)) {
        if (child.nodeType === 3) {
            text += child.data;
        } else if (child.nodeType === 1) {
            const part = nameOf(child, inner);
            text += BLOCK_TAGS.has(child.localName) ? ' ' + part + ' ' : part;
        }
    }
    return text;
}

// Text that CSS puts before or after an element (content: "…"); icon-font
// glyphs in the private use area mean nothing to read.
function pseudoText(el, which) {
    const content = getComputedStyle(el, which).content;
    if (!content || content === 'none' || content === 'normal') return '';
    const strings = content.match(/"(?:[^"\\]|\\.)*"/g);
    if (!strings) return '';
    return strings.map(s => s.slice(1, -1).replace(/\\(.)/g, '$1')).join('')
        .replace(/[\uE000-\uF8FF]/g, '');
}

// ---------------------------------------------------------------------------
// Refs: "e" and a number, the same element keeping its ref for the life of
// the document. New numbers go above the session's floor.

const refOf = new WeakMap();
const byRef = new Map();   // number -> {el: WeakRef, role, name}
let lastRef = 0;

function refFor(el, floor) {
    let n = refOf.get(el);
    if (n === undefined) {
        n = Math.max(lastRef, floor) + 1;
        lastRef = n;
        refOf.set(el, n);
        byRef.set(n, { el: new WeakRef(el), role: '', name: '' });
    }
    return n;
}

function remember(n, role, name) {
    const entry = byRef.get(n);
    if (entry) {
        entry.role = role;
        entry.name = name;
    }
}

function forgetCollected() {
    if (byRef.size < 5000) return;
    for (const [n, entry] of byRef) {
        if (!entry.el.deref()) byRef.delete(n);
    }
}

const floorOf = args => {
    const f = Number(args.floor);
    return Number.isFinite(f) && f > 0 ? Math.floor(f) : 0;
};

function describeRef(ref, role, name) {
    return role ? `${ref} (${role} ${quote(name)})` : ref;
}

// The element a command names, or an element failure that says what to do.
function elementFor(args, command) {
    const ref = args.ref;
    if (typeof ref !== 'string' || !ref) {
        fail(null, `${command} needs a "ref" argument naming an element, such as e12.`);
    }
    const m = /^e(\d+)$/.exec(ref);
    const entry = m ? byRef.get(Number(m[1])) : undefined;
    if (!entry) {
        fail('not_found', `No element ${ref} on this page. Refs come from the latest snapshot or find, ` +
            'and a page that changed gives new ones: take a snapshot to see the page as it is now.');
    }
    const el = entry.el.deref();
    if (!el || !el.isConnected || el.ownerDocument !== document) {
        fail('not_found', `Element ${describeRef(ref, entry.role, entry.name)} is no longer on the page: the page ` +
            'removed or replaced it. Take a snapshot or use find to get its current ref.');
    }
    const role = roleOf(el) || entry.role || 'generic';
    return { el, ref, role, label: describeRef(ref, role, entry.name) };
}

// ---------------------------------------------------------------------------
// Text, built the way a person reads it: whitespace collapsed, blocks on lines
// of their own, table cells apart.

class TextBuilder {
    constructor() {
        this.parts = [];
        this.length = 0;
        this.pending = '';
        this.full = false;
    }
    separate(sep) {
        if (!this.length) return;
        if (sep === '\n' || this.pending === '\n') this.pending = '\n';
        else if (sep === '\t' || this.pending === '\t') this.pending = '\t';
        else this.pending = ' ';
    }
    emit(s) {
        if (!s || this.full) return;
        if (this.pending && this.length) {
            this.parts.push(this.pending);
            this.length += 1;
        }
        this.pending = '';
        if (this.length + s.length > TEXT_LIMIT) {
            s = s.slice(0, TEXT_LIMIT - this.length);
            this.full = true;
        }
        this.parts.push(s);
        this.length += s.length;
    }
    // One piece of collapsed text: its words, and whether white space stood
    // before and after them.
    piece(body, lead, trail) {
        if (this.full) return;
        if (lead && this.pending === '') this.separate(' ');
        if (body) this.emit(body);
        if (trail) this.separate(' ');
    }
    toString() {
        return this.parts.join('');
    }
}

// The page's text, and the same text split into the main content and what
// lies around it.
class PageText {
    constructor(hasMain) {
        this.all = new TextBuilder();
        this.main = new TextBuilder();
        this.around = new TextBuilder();
        this.hasMain = hasMain;
    }
    separate(sep) {
        this.all.separate(sep);
        this.main.separate(sep);
        this.around.separate(sep);
    }
    add(data, pre, region) {
        const part = region === 'around' || (!region && this.hasMain) ? this.around : this.main;
        if (pre) {
            const lines = data.split(/\r\n|[\n\r]/);
            for (let i = 0; i < lines.length; i++) {
                if (i) {
                    this.all.separate('\n');
                    part.separate('\n');
                }
                this.all.emit(lines[i]);
                part.emit(lines[i]);
            }
            return;
        }
        const s = data.replace(/[ \t\n\r\f]+/g, ' ');
        const lead = s.charCodeAt(0) === 32, trail = s.length > 1 && s.charCodeAt(s.length - 1) === 32;
        const body = s === ' ' ? '' : s.slice(lead ? 1 : 0, trail ? s.length - 1 : s.length);
        this.all.piece(body, lead, trail);
        part.piece(body, lead, trail);
    }
}

// ---------------------------------------------------------------------------
// The page walk: every element a person can see and use, in page order, and
// the visible text, split into main content and what lies around it.

// Not walked at all.
const SKIP_TAGS = new Set(['script', 'style', 'noscript', 'template', 'head', 'meta', 'link', 'title', 'iframe',
    'frame', 'frameset', 'object', 'embed', 'datalist', 'option', 'optgroup', 'param', 'source', 'track', 'base']);
// Walked, but their children are not page content of their own.
const LEAF_TAGS = new Set(['input', 'select', 'textarea', 'img', 'svg', 'canvas', 'video', 'audio', 'math',
    'picture', 'progress', 'meter']);
const AROUND_TAGS = new Set(['nav', 'header', 'footer', 'aside']);
const AROUND_ROLES = new Set(['navigation', 'menubar', 'menu', 'banner', 'contentinfo', 'complementary', 'search']);
const AROUND_NAMES = /^(site-?|page-?|global-?|main-?|top-?)?(header|footer|nav|navbar|navigation|menu|menubar|sidebar|side-?bar|breadcrumbs?|masthead|topbar|toolbar)$/i;

function isAroundRegion(el, role, hasMain) {
    const tag = el.localName;
    if (tag === 'nav' || role === 'navigation' || role === 'menubar' || role === 'menu') return true;
    if (hasMain) return false;
    if (role && AROUND_ROLES.has(role)) return true;
    if ((tag === 'header' || tag === 'footer') && !role) {
        return !el.parentElement || !el.parentElement.closest('article, aside, main, nav, section');
    }
    if (tag === 'aside' && !role) return true;
    if (el.id && AROUND_NAMES.test(el.id)) return true;
    const cls = el.getAttribute('class');
    if (cls) {
        for (const token of cls.split(/\s+/)) if (AROUND_NAMES.test(token)) return true;
    }
    return false;
}

function findMain() {
    for (const el of document.querySelectorAll('main, [role="main"]')) {
        if (el.checkVisibility()) return el;
    }
    return null;
}

class OutOfTime extends Error {}

// Elements made focusable so the keyboard can scroll or read them, not to be
// clicked: a scrolling panel, a tab's panel, a region, a code block.
const FOCUS_ONLY_ROLES = new Set(['tabpanel', 'region', 'dialog', 'alertdialog', 'document', 'article', 'main',
    'group', 'list', 'table', 'grid', 'treegrid', 'log', 'status', 'feed', 'application', 'figure', 'tooltip',
    'form', 'navigation', 'complementary', 'banner', 'contentinfo', 'search']);
const FOCUS_ONLY_TAGS = new Set(['pre', 'main', 'section', 'article', 'aside', 'nav', 'table', 'ul', 'ol', 'dl',
    'form', 'dialog', 'figure', 'header', 'footer', 'code']);
function focusOnly(el, tag, role, overflow) {
    return FOCUS_ONLY_ROLES.has(role) || FOCUS_ONLY_TAGS.has(tag) || /auto|scroll/.test(overflow);
}

const NO_CURSOR_TAGS = new Set(['html', 'body', 'main', 'header', 'footer', 'nav', 'section', 'article', 'aside',
    'form', 'fieldset', 'legend', 'table', 'thead', 'tbody', 'tfoot', 'colgroup', 'col', 'ul', 'ol', 'dl']);

function walkPage(options) {
    const withText = options.text;
    const until = options.until;
    const items = [];
    const html = document.documentElement;
    const mainEl = withText ? findMain() : null;
    const hasMain = !!mainEl;
    const text = new PageText(hasMain);
    const viewport = viewportRect();
    const stack = [];      // the frames of the elements being visited, outermost first
    let order = 0;         // elements entered so far: page order of items
    let kept = 0;          // items kept so far: a clickable container holds none of its own
    let counter = 0;

    const addText = (data, region, pre) => text.add(data, pre, region);
    const separate = sep => text.separate(sep);

    // An element that shows the pointer hand without being a control is
    // clicked as a whole: the outermost element of that hand is listed. The
    // cursor is read only above text (and icons), where such a thing can be.
    function pointerAbove() {
        let top = -1;
        for (let i = stack.length - 1; i >= 0; i--) {
            const frame = stack[i];
            if (frame.noCursor) break;
            if (frame.pointer === undefined) frame.pointer = styleOf(frame.el).cursor === 'pointer';
            if (!frame.pointer) break;
            top = i;
            if (frame.item) return;
        }
        if (top < 0) return;
        const frame = stack[top];
        const el = frame.el, role = explicitRole(el);
        if (role === 'none' || role === 'presentation' || role === 'dialog' || role === 'alertdialog' ||
            (el.localName === 'label' && el.control)) return;
        frame.item = { el, role: role || 'generic', generic: true, rect: null, view: null, proxy: null, order: frame.order };
        items.push(frame.item);
    }

    // Visits one element and what it holds; returns where its visible
    // content lies, or null when none of it shows.
    function visit(el, state, ctx) {
        const tag = el.localName;
        if (SKIP_TAGS.has(tag)) return null;
        if (until && (++counter & 255) === 0 && Date.now() > until) throw new OutOfTime();

        const cs = styleOf(el);
        const display = cs.display;
        if (display === 'none' || cs.opacity === '0') {
            if (!ctx.editable) hiddenControl(el);
            return null;
        }
        const boxless = display === 'contents';
        const styleShows = cs.visibility === 'visible';
        const position = cs.position;
        const overflow = boxless ? 'visible' : cs.overflow;
        const own = ownClips(state, position);

        // Is it something a person acts on? (Most elements carry no attribute
        // at all, which spares the lookups.)
        const hasAttributes = el.hasAttributes();
        const role = ctx.editable ? null : hasAttributes ? roleOf(el) : bareRole(el, tag);
        const listed = role !== null && WIDGET_ROLES.has(role) && tag !== 'option';
        const frame = { el, order: order++, item: null, pointer: undefined, noCursor: false, keptBefore: kept };
        if (listed) {
            frame.item = { el, role, generic: false, rect: null, view: null, proxy: null, order: frame.order };
            items.push(frame.item);
        } else if (ctx.inWidget || ctx.editable || NO_CURSOR_TAGS.has(tag)) {
            frame.noCursor = true;
        } else if (hasAttributes && (el.hasAttribute('onclick') ||
            (el.hasAttribute('tabindex') && el.tabIndex >= 0 && !focusOnly(el, tag, role, overflow)))) {
            if (role !== 'none' && role !== 'presentation' && role !== 'dialog' && role !== 'alertdialog') {
                frame.item = { el, role: role || 'generic', generic: true, rect: null, view: null, proxy: null, order: frame.order };
                items.push(frame.item);
            }
        }

        // Its box, only where something needs it.
        let box = null;
        const needBox = !boxless && (listed || frame.item || overflow !== 'visible' ||
            position === 'absolute' || position === 'fixed');
        if (needBox) box = rectOf(el.getBoundingClientRect());
        let boxKnown = needBox || boxless;

        let region = ctx.region;
        if (withText && region !== 'around') {
            if (hasMain && el === mainEl) region = 'main';
            else if ((hasAttributes || AROUND_TAGS.has(tag)) && isAroundRegion(el, role, hasMain)) region = 'around';
        }
        const editable = ctx.editable || (role === 'textbox' && el.isContentEditable);
        const pre = ctx.pre || tag === 'pre';
        const childCtx = region === ctx.region && !listed && editable === ctx.editable && pre === ctx.pre
            ? ctx
            : { region, inWidget: ctx.inWidget || listed, editable, pre };
        const childState = box ? childClips(state, el, cs, position, box, own) : (position === 'static' ? state : {
            hard: own.hard, view: own.view, absHard: own.hard, absView: own.view,
        });

        const block = withText && !boxless && !display.startsWith('inline');
        const sep = display === 'table-cell' ? '\t' : '\n';
        if (block) separate(sep);

        stack.push(frame);
        let inner = null;
        let ownShows = false, textChecked = false;
        if (tag === 'br') {
            if (withText && styleShows) separate('\n');
        } else if (tag === 'details' && !el.open) {
            // Only the summary of a closed disclosure shows.
            for (let child = el.firstElementChild; child; child = child.nextElementSibling) {
                if (child.localName === 'summary') {
                    const r = visit(child, childState, childCtx);
                    if (r) inner = union(inner, r);
                    break;
                }
            }
        } else if (LEAF_TAGS.has(tag)) {
            if (!ctx.inWidget && !listed && (tag === 'img' || tag === 'svg')) pointerAbove();
        } else {
            let preText = null;
            // The flat tree: a shadow root's content, a slot's assigned nodes.
            let list = null, index = 0, child;
            const shadow = el.shadowRoot;
            if (shadow) {
                child = shadow.firstChild;
            } else if (tag === 'slot' && el.getRootNode().host && (list = el.assignedNodes()).length) {
                child = list[0];
            } else {
                list = null;
                child = el.firstChild;
            }
            for (; child; child = list ? list[++index] : child.nextSibling) {
                const type = child.nodeType;
                if (type === 1) {
                    const r = visit(child, childState, childCtx);
                    if (r) inner = union(inner, r);
                } else if (type === 3) {
                    const data = child.data;
                    if (!/\S/.test(data)) {
                        if (withText && styleShows) addText(data, region, pre);
                        continue;
                    }
                    if (!textChecked) {
                        textChecked = true;
                        if (!boxKnown) {
                            box = rectOf(el.getBoundingClientRect());
                            boxKnown = true;
                        }
                        // Text of an element without a box of its own shows
                        // where its parent does.
                        const seen = box ? intersect(box, own.hard) : null;
                        ownShows = styleShows && (boxless || (!!seen && (shows(seen) ||
                            (overflow === 'visible' && textShows(child, childState)))));
                        if (ownShows && !ctx.inWidget && !listed && !ctx.editable) pointerAbove();
                    }
                    if (!withText || !ownShows) continue;
                    // White space matters only where it could show.
                    if (preText === null && (pre || /[\n\r\t]| {2}/.test(data))) {
                        preText = pre || /^pre|^break/.test(cs.whiteSpace);
                    }
                    addText(data, region, preText === true);
                }
            }
        }
        stack.pop();
        if (block) separate(sep);

        // A clickable element found through its content needs its box now.
        if (frame.item && !boxKnown) box = rectOf(el.getBoundingClientRect());
        const seen = box ? intersect(box, own.hard) : null;
        const visible = styleShows && shows(seen) ? seen : null;
        if (frame.item) finishItem(frame, visible, own, inner);
        return visible || (ownShows && seen) || inner;
    }

    function finishItem(frame, seen, own, inner) {
        const item = frame.item;
        let rect = seen, view = seen ? intersect(seen, own.view) : null;
        if (!rect && inner) {
            rect = inner;
            view = intersect(inner, own.view);
        }
        if (item.generic) {
            // A clickable container of other controls is not one itself:
            // its controls are what a person uses.
            if (kept > frame.keptBefore) {
                item.drop = true;
                return;
            }
            if (rect) {
                item.name = accessibleName(item.el, true);
                if (!item.name && !(item.el.hasAttribute('tabindex') && item.el.tabIndex >= 0)) {
                    item.drop = true;
                    return;
                }
            }
        }
        if (!rect) {
            const standIn = labelStandIn(item.el);
            if (!standIn) {
                item.drop = true;
                return;
            }
            item.proxy = standIn.label;
            rect = standIn.v.rect;
            view = standIn.v.view;
        }
        item.rect = rect;
        item.view = view ? intersect(view, viewport) : null;
        kept++;
    }

    function textShows(node, state) {
        const range = document.createRange();
        range.selectNodeContents(node);
        return !!intersect(rectOf(range.getBoundingClientRect()), state.hard);
    }

    // A control that is hidden itself but used through its visible label.
    function hiddenControl(el) {
        if (el.localName !== 'input') return;
        const standIn = labelStandIn(el);
        if (!standIn) return;
        items.push({
            el, role: nativeRole(el), generic: false, rect: standIn.v.rect,
            view: standIn.v.view ? intersect(standIn.v.view, viewport) : null, proxy: standIn.label, order: order++,
        });
        kept++;
    }

    if (html) {
        visit(html, rootClips(), { region: null, inWidget: false, editable: false, pre: false });
    }
    const kept_ = items.filter(i => !i.drop);
    kept_.sort((a, b) => a.order - b.order);
    return {
        items: kept_,
        text: text.all.toString().trim(),
        main: text.main.toString().trim(),
        around: text.around.toString().trim(),
        hasMain,
    };
}

// ---------------------------------------------------------------------------
// Element records.

function optionsText(labels) {
    const shown = labels.slice(0, OPTIONS_SHOWN).join(' | ');
    return labels.length > OPTIONS_SHOWN ? `${shown} | \u2026 ${labels.length - OPTIONS_SHOWN} more` : shown;
}

const optionLabel = o => collapse(o.label || o.text);

function frameName() {
    if (isTopFrame) return undefined;
    try {
        const fe = window.frameElement;
        if (fe) {
            const n = fe.getAttribute('title') || fe.getAttribute('name') || fe.id;
            if (n) return cut(collapse(n), 60);
        }
    } catch (e) { /* another origin */ }
    if (window.name) return cut(collapse(window.name), 60);
    return location.host || 'an inline frame';
}

function elementRecord(item, ref, name, context, frame) {
    const el = item.el, role = item.role, tag = el.localName;
    const rec = { ref: 'e' + ref, role, name, tag };
    if (context) rec.context = context;
    if (frame) rec.frame = frame;

    let value;
    if (tag === 'select') {
        value = Array.from(el.selectedOptions, optionLabel).filter(Boolean).join(', ');
    } else if (tag === 'input' || tag === 'textarea') {
        if (!/^(button|submit|reset|image|checkbox|radio|hidden)$/.test(el.type)) {
            value = el.value;
            if (el.type === 'file' && el.files && el.files.length) {
                value = Array.from(el.files, f => f.name).join(', ');
            }
            if (isSecret(el)) value = '\u2022'.repeat(Math.min(value.length, 40));
        }
    } else if (el.isContentEditable && role === 'textbox') {
        value = collapse(el.innerText);
    } else if (role === 'slider' || role === 'spinbutton' || role === 'combobox' || role === 'textbox' || role === 'searchbox') {
        value = el.getAttribute('aria-valuetext') || el.getAttribute('aria-valuenow') || undefined;
        if (value === undefined && (role === 'combobox' || role === 'textbox' || role === 'searchbox')) {
            const inner = el.querySelector('input, textarea');
            // A list that is not a field shows its choice as its text.
            if (inner) value = inner.value;
            else if (role === 'combobox') value = collapse(visibleText(el)) || undefined;
        }
    }
    if (value) rec.value = cut(value, VALUE_LIMIT);

    const checked = checkedState(el, role);
    if (checked !== undefined) rec.checked = checked;
    if (isDisabled(el)) rec.disabled = true;
    if (role === 'link') {
        const href = el.href;
        if (typeof href === 'string' && href && !/^javascript:/i.test(href)) rec.href = href;
    }
    if (tag === 'input' && !/^(text|checkbox|radio|submit|button|reset|hidden|search)$/.test(el.type)) {
        rec.type = el.type;
    }
    if (el.required || el.getAttribute('aria-required') === 'true') rec.required = true;
    if (tag === 'select') {
        rec.options = optionsText(Array.from(el.options, optionLabel).filter(Boolean));
    } else if (tag === 'input' && el.list) {
        const labels = Array.from(el.list.options, o => collapse(o.value || o.label)).filter(Boolean);
        if (labels.length) rec.options = optionsText(labels);
    }
    return rec;
}

function checkedState(el, role) {
    if (el.localName === 'input' && (el.type === 'checkbox' || el.type === 'radio')) return el.checked;
    const aria = name => {
        const v = el.getAttribute(name);
        return v === null ? undefined : v === 'true';
    };
    switch (role) {
    case 'checkbox': case 'radio': case 'switch': case 'menuitemcheckbox': case 'menuitemradio':
        return aria('aria-checked') ?? false;
    case 'option': case 'tab': case 'treeitem':
        return aria('aria-selected') ?? aria('aria-checked');
    case 'button':
        return aria('aria-pressed');
    }
    return undefined;
}

// Text that tells repeated elements apart, or places a choice in its group:
// the row, list item, group or section that holds it.
function contextOf(el, name, grouped, memo) {
    let node = flatParent(el), from = el;
    for (let depth = 0; node && node.nodeType === 1 && depth < 12; depth++, from = node, node = flatParent(node)) {
        const tag = node.localName;
        if (tag === 'body' || tag === 'html') break;
        const nodeRole = explicitRole(node);
        const label = memo(node, 'label', () => groupLabel(node, tag, nodeRole));
        if (label) return label;
        if (grouped) continue;
        if (tag === 'tr' || nodeRole === 'row') {
            const cells = memo(node, 'cells', () => Array.from(node.querySelectorAll(
                ':scope > td, :scope > th, :scope > [role="cell"], :scope > [role="gridcell"], :scope > [role="rowheader"]')));
            for (const cell of cells) {
                if (cell === from) continue;
                const t = memo(cell, 'text', () => collapse(visibleText(cell)));
                if (t && t !== name) return t;
            }
        }
        if (tag === 'li' || tag === 'article' || tag === 'section' || tag === 'tr' ||
            nodeRole === 'listitem' || nodeRole === 'row' || nodeRole === 'article' || depth >= 2) {
            // A large container says nothing about one control in it.
            if (memo(node, 'size', () => node.getElementsByTagName('*').length) > 60) continue;
            const heading = memo(node, 'heading', () => node.querySelector('h1, h2, h3, h4, h5, h6, [role="heading"]'));
            if (heading && !containsDeep(heading, el)) {
                const t = memo(heading, 'text', () => collapse(visibleText(heading)));
                if (t) return t;
            }
            const t = collapse(visibleText(node, el));
            if (t && t !== name) return t;
        }
    }
    return '';
}

// The name of a group, fieldset or labelled region that holds choices.
function groupLabel(node, tag, nodeRole) {
    if (tag === 'fieldset') {
        const legend = node.querySelector(':scope > legend');
        if (legend) return collapse(legend.textContent);
    }
    if (nodeRole && /^(group|radiogroup|listbox|menu|menubar|tablist|tree|toolbar|region|dialog|form)$/.test(nodeRole) ||
        tag === 'form' || tag === 'section' || tag === 'dialog') {
        const label = node.getAttribute('aria-label') ||
            referencedElements(node, 'aria-labelledby').map(r => r.textContent).join(' ');
        if (label) return collapse(label);
    }
    return '';
}

// Remembers what a scan has learnt of an element, for the elements after it.
function memoizer() {
    const known = new Map();
    return (node, what, compute) => {
        let entry = known.get(node);
        if (!entry) {
            entry = {};
            known.set(node, entry);
        }
        if (!(what in entry)) entry[what] = compute();
        return entry[what];
    };
}

// The visible text inside an element, leaving one element out.
function visibleText(root, leaveOut) {
    let text = '';
    const walk = node => {
        for (const child of flatChildren(node)) {
            if (text.length > 300) return;
            if (child === leaveOut) continue;
            if (child.nodeType === 3) text += child.data;
            else if (child.nodeType === 1 && !SKIP_TAGS.has(child.localName) &&
                child.checkVisibility({ opacityProperty: true, visibilityProperty: true })) {
                if (BLOCK_TAGS.has(child.localName)) text += ' ';
                if (!LEAF_TAGS.has(child.localName)) walk(child);
                else if (child.localName === 'input' && /^(button|submit|reset)$/.test(child.type)) text += ' ' + child.value + ' ';
                if (BLOCK_TAGS.has(child.localName)) text += ' ';
            }
        }
    };
    walk(root);
    return text;
}

const GROUPED_ROLES = new Set(['radio', 'checkbox', 'option', 'menuitem', 'menuitemcheckbox', 'menuitemradio', 'tab', 'switch']);

// ---------------------------------------------------------------------------
// Covers: a modal dialog or an overlay that lies over the page.

function isFloating(el) {
    for (let node = el, depth = 0; node && node.nodeType === 1 && depth < 4; node = flatParent(node), depth++) {
        const p = styleOf(node).position;
        if (p === 'fixed' || p === 'absolute' || p === 'sticky') return true;
    }
    return false;
}

function matchesSafe(el, selector) {
    try { return el.matches(selector); } catch (e) { return false; }
}

function findCover(items) {
    const candidates = document.querySelectorAll('dialog[open], [aria-modal="true"], [role="dialog"], [role="alertdialog"]');
    let modal = null, floating = null;
    for (const el of candidates) {
        const v = visibility(el);
        if (!v || !v.view) continue;
        if (matchesSafe(el, ':modal') || el.getAttribute('aria-modal') === 'true') modal = el;
        else if (isFloating(el)) floating = el;
    }
    if (modal || floating) return modal || floating;
    return overlayAtPoints(items);
}

// A layer fixed over the whole viewport, with page content beneath it.
function overlayAtPoints(items) {
    const w = window.innerWidth, h = window.innerHeight;
    if (w < 10 || h < 10) return null;
    const layerAt = (x, y) => {
        let layer = null;
        for (let node = deepElementFromPoint(x, y); node && node.nodeType === 1; node = flatParent(node)) {
            if (node.localName === 'body' || node.localName === 'html') break;
            if (styleOf(node).position === 'fixed') layer = node;
        }
        return layer;
    };
    const corners = [[0.05, 0.05], [0.95, 0.05], [0.05, 0.95], [0.95, 0.95]];
    let covering = null, count = 0;
    for (const [fx, fy] of corners) {
        const layer = layerAt(w * fx, h * fy);
        if (!layer) continue;
        const r = layer.getBoundingClientRect();
        if (r.width * r.height < 0.85 * w * h) continue;
        count++;
        covering = covering || layer;
    }
    if (count < 3 || !covering) return null;
    // Something of the page must lie beneath, or the layer is the page itself.
    const outside = node => node.localName !== 'html' && node.localName !== 'body' &&
        !containsDeep(covering, node) && !containsDeep(node, covering) && styleOf(node).position !== 'fixed';
    const points = [[0.5, 0.5], [0.25, 0.25], [0.75, 0.25], [0.25, 0.75], [0.75, 0.75], [0.5, 0.1]];
    const beneath = items.some(i => i.view && outside(i.el)) ||
        points.some(([fx, fy]) => document.elementsFromPoint(w * fx, h * fy).some(outside));
    if (!beneath) return null;
    // The notice itself may be a layer of its own above the veil: the one
    // holding the controls that are on top there.
    for (const item of items) {
        if (!item.view || containsDeep(covering, item.el)) continue;
        const x = (item.view.l + item.view.r) / 2, y = (item.view.t + item.view.b) / 2;
        const hit = deepElementFromPoint(x, y);
        if (!hit || !(containsDeep(item.el, hit) || (item.proxy && containsDeep(item.proxy, hit)))) continue;
        const layer = layerAt(x, y);
        if (layer && layer !== covering) return layer;
    }
    const centre = layerAt(w / 2, h / 2);
    return centre && centre !== covering && !containsDeep(covering, centre) ? centre : covering;
}

function coverName(root) {
    let name = accessibleName(root);
    if (name && root.getAttribute('role') !== 'generic') return name;
    const heading = root.querySelector('h1, h2, h3, h4, h5, h6, [role="heading"], legend');
    if (heading) {
        name = collapse(visibleText(heading));
        if (name) return cut(name, CONTEXT_LIMIT);
    }
    return '';
}

// ---------------------------------------------------------------------------
// Listing helpers shared by scan, find and locator.

function namedItems(items, onlyRole) {
    for (const item of items) {
        if (onlyRole !== undefined && item.role !== onlyRole) continue;
        if (item.name === undefined) item.name = itemName(item);
    }
    return items;
}

const itemName = item => accessibleName(item.el, item.generic);

const sameName = (a, b) => collapse(a) === collapse(b);
const sameNameLoosely = (a, b) => collapse(a).toLowerCase() === collapse(b).toLowerCase();

// ---------------------------------------------------------------------------
// scan

function scan(args) {
    const floor = floorOf(args);
    const until = Number(args.until);
    if (Number.isFinite(until) && Date.now() > until) {
        fail(null, 'The frame ran out of time before it could be scanned.');
    }
    let walk;
    try {
        walk = walkPage({ text: true, until: Number.isFinite(until) ? until : 0 });
    } catch (e) {
        if (e instanceof OutOfTime) fail(null, 'The frame ran out of time while it was being scanned.');
        throw e;
    }
    namedItems(walk.items);
    const frame = frameName();

    // Context for elements that repeat, and for choices within a group.
    const counts = new Map();
    for (const item of walk.items) {
        const key = item.role + '\u0000' + item.name;
        counts.set(key, (counts.get(key) || 0) + 1);
    }

    const elements = [], onScreen = [];
    const memo = memoizer();
    for (const item of walk.items) {
        const n = refFor(item.el, floor);
        remember(n, item.role, item.name);
        const repeated = counts.get(item.role + '\u0000' + item.name) > 1;
        let context = '';
        if (repeated || GROUPED_ROLES.has(item.role)) {
            context = contextOf(item.el, item.name, !repeated, memo);
            if (context === item.name) context = '';
        }
        const rec = elementRecord(item, n, item.name, context ? cut(context, CONTEXT_LIMIT) : '', frame);
        elements.push(rec);
        if (item.view) onScreen.push(rec.ref);
    }

    const reply = {
        url: location.href,
        title: document.title,
        elements,
        onScreen,
        text: walk.text,
    };
    if (walk.main && walk.around) {
        reply.mainText = walk.main;
        reply.aroundText = walk.around;
    }
    const coverRoot = findCover(walk.items);
    if (coverRoot) {
        const refs = [];
        for (const item of walk.items) {
            if (containsDeep(coverRoot, item.el) || (item.proxy && containsDeep(coverRoot, item.proxy))) {
                refs.push('e' + refOf.get(item.el));
            }
        }
        reply.cover = { name: coverName(coverRoot), refs };
    }
    reply.lastRef = lastRef;
    reply.frame = frameId();
    reply.loadedFrom = loadedFrom;
    forgetCollected();
    return reply;
}

// ---------------------------------------------------------------------------
// probe

function probe(args) {
    if (typeof args.selector === 'string') {
        const matches = queryOrFail(args.selector, 'probe');
        if (!matches.length) return 'missing';
        return matches.some(el => visibility(el) || labelStandIn(el)) ? 'found' : 'hidden';
    }
    if (typeof args.text === 'string') {
        const wanted = collapse(args.text);
        if (!wanted) return 'found';
        const text = collapse(walkPage({ text: true }).text);
        return text.includes(wanted) ? 'found' : 'missing';
    }
    fail(null, 'probe needs a "text" or a "selector" argument.');
}

// ---------------------------------------------------------------------------
// locator and find

function stableId(id) {
    return /^[A-Za-z][\w-]{0,39}$/.test(id) && !/\d{3,}/.test(id) &&
        !/^(ember|ext-|yui|rc-|radix-|headlessui-|mui-|react-|ng-|cdk-|mat-|__)/i.test(id);
}

function cssString(s) {
    return String(s).replace(/["\\]/g, m => '\\' + m).replace(/\n/g, '\\a ');
}

function selectorFor(el) {
    const parts = [];
    for (let node = el; node; ) {
        const root = node.getRootNode();
        parts.unshift(selectorInRoot(node, root));
        node = root.host || null;
    }
    return parts.join(' >>> ');
}

function selectorInRoot(el, root) {
    const unique = s => {
        try {
            const m = root.querySelectorAll(s);
            return m.length === 1 && m[0] === el;
        } catch (e) {
            return false;
        }
    };
    const tag = CSS.escape(el.localName);
    if (el.id && stableId(el.id) && unique('#' + CSS.escape(el.id))) return '#' + CSS.escape(el.id);
    for (const attr of ['data-testid', 'data-test-id', 'data-test', 'data-qa', 'data-cy', 'name', 'aria-label',
        'placeholder', 'title', 'alt']) {
        const v = el.getAttribute(attr);
        if (!v || v.length > 80) continue;
        const s = `${tag}[${attr}="${cssString(v)}"]`;
        if (unique(s)) return s;
    }
    if (el.localName === 'a') {
        const href = el.getAttribute('href');
        if (href && href.length <= 120 && !/^(#|javascript:)/i.test(href)) {
            const s = `a[href="${cssString(href)}"]`;
            if (unique(s)) return s;
        }
    }
    const steps = [];
    for (let node = el; node && node.nodeType === 1; node = node.parentElement) {
        if (node !== el && node.id && stableId(node.id)) {
            const s = ['#' + CSS.escape(node.id), ...steps].join(' > ');
            if (unique(s)) return s;
        }
        let step = CSS.escape(node.localName);
        const parent = node.parentElement;
        const siblings = parent ? parent.children : (node.parentNode ? node.parentNode.children : []);
        let index = 0, same = 0;
        for (const sibling of siblings) {
            if (sibling.localName === node.localName) {
                same++;
                if (sibling === node) index = same;
            }
        }
        if (same > 1) step += `:nth-of-type(${index})`;
        steps.unshift(step);
        const s = steps.join(' > ');
        if (unique(s)) return s;
    }
    return steps.join(' > ');
}

function locatorOf(el) {
    const items = walkPage({ text: false }).items;
    const own = items.find(i => i.el === el);
    const role = own ? own.role : roleOf(el) || 'generic';
    const name = own ? itemName(own) : accessibleName(el, !WIDGET_ROLES.has(role));
    let index = 0;
    for (const item of items) {
        if (item.el === el) break;
        if (item.role === role && sameName(namedItems([item])[0].name, name)) index++;
    }
    const loc = { role, name, index };
    const selector = selectorFor(el);
    if (selector) loc.selector = selector;
    loc.secret = isSecret(el);
    return loc;
}

function locator(args) {
    const { el } = elementFor(args, 'locator');
    return locatorOf(el);
}

function find(args) {
    const role = String(args.role ?? ''), name = String(args.name ?? '');
    const index = Math.max(0, Math.floor(Number(args.index) || 0));
    const floor = floorOf(args);
    const items = namedItems(walkPage({ text: false }).items, role);
    let matches = items.filter(i => i.role === role && sameName(i.name, name));
    if (!matches.length) matches = items.filter(i => i.role === role && sameNameLoosely(i.name, name));
    if (index < matches.length) {
        const el = matches[index].el;
        const n = refFor(el, floor);
        remember(n, role, matches[index].name);
        return { ref: 'e' + n, usedSelector: false, lastRef };
    }
    let selectorNote = '';
    if (typeof args.selector === 'string' && args.selector) {
        const found = queryOrFail(args.selector, 'find');
        const el = found.find(e => visibility(e) || labelStandIn(e));
        if (el) {
            const n = refFor(el, floor);
            remember(n, roleOf(el) || 'generic', accessibleName(el, !roleOf(el)));
            return { ref: 'e' + n, usedSelector: true, lastRef };
        }
        selectorNote = found.length
            ? `, and the selector ${args.selector} matches only elements that are not visible`
            : `, and the selector ${args.selector} matches nothing`;
    }
    const what = `${role} ${quote(name)}`;
    const message = matches.length
        ? `The page has ${matches.length} ${what}, so there is no number ${index + 1} of them${selectorNote}.`
        : `No ${what} is on the page${selectorNote}.`;
    fail('not_found', message + ' Take a snapshot to see what the page has now.');
}

// ---------------------------------------------------------------------------
// Acting. While the agent acts, the events it makes are not the person's.

let acting = 0;

function whileActing(fn) {
    acting++;
    try {
        return fn();
    } finally {
        acting--;
    }
}

async function whileActingAsync(fn) {
    acting++;
    try {
        return await fn();
    } finally {
        acting--;
    }
}

function scrollIntoViewNow(el) {
    try {
        el.scrollIntoView({ block: 'center', inline: 'center', behavior: 'instant' });
    } catch (e) {
        el.scrollIntoView({ block: 'center', inline: 'center' });
    }
}

function describeNode(el) {
    if (!el || el.nodeType !== 1) return 'something';
    let s = el.localName;
    if (el.id && el.id.length <= 30) s += '#' + el.id;
    else {
        const cls = (el.getAttribute('class') || '').trim().split(/\s+/).filter(Boolean).slice(0, 2);
        if (cls.length) s += '.' + cls.join('.');
    }
    return s;
}

// How to name the thing that lies over an element.
function describeCovering(hit) {
    const cover = closestDeep(hit, n => n.localName === 'dialog' || /^(dialog|alertdialog)$/.test(n.getAttribute('role') || '') ||
        n.getAttribute('aria-modal') === 'true');
    if (cover) {
        const name = coverName(cover);
        return name ? `the dialog ${quote(name)}` : 'a dialog';
    }
    const control = closestDeep(hit, n => WIDGET_ROLES.has(roleOf(n) || ''));
    if (control) {
        const n = refOf.get(control);
        return `${roleOf(control)} ${quote(accessibleName(control))}` + (n ? ` (e${n})` : '');
    }
    const layer = closestDeep(hit, n => styleOf(n).position === 'fixed');
    const text = cut(collapse(visibleText(layer || hit)), 60);
    return `<${describeNode(layer || hit)}>` + (text ? ` ${quote(text)}` : '');
}

// Where a person's click on the element would land: a point inside its
// visible part where the element itself (or its label) is the topmost thing.
function clickPoint(target, receiver, label, command) {
    let v = visibility(receiver);
    if (!v) fail('not_visible', notVisibleMessage(label, command));
    if (styleOf(receiver).pointerEvents === 'none') {
        fail('disabled', `Element ${label} does not respond to the pointer (the page has turned pointer events off ` +
            `for it), so a ${command} would reach whatever lies beneath. Pages do this while the element is not ` +
            'ready: wait for the page, or reach it with press (Tab, then Enter).');
    }
    const inView = r => r && r.r - r.l >= 1 && r.b - r.t >= 1;
    if (!inView(v.view)) {
        scrollIntoViewNow(receiver);
        v = visibility(receiver);
        if (!v) fail('not_visible', notVisibleMessage(label, command));
    }
    const area = v.view || v.rect;
    const w = area.r - area.l, h = area.b - area.t;
    const fractions = [[0.5, 0.5], [0.25, 0.5], [0.75, 0.5], [0.5, 0.25], [0.5, 0.75], [0.2, 0.2], [0.8, 0.8]];
    let blocker = null;
    for (const [fx, fy] of fractions) {
        const x = area.l + w * fx, y = area.t + h * fy;
        if (x < 0 || y < 0 || x >= window.innerWidth || y >= window.innerHeight) continue;
        const hit = deepElementFromPoint(x, y);
        if (!hit) continue;
        if (containsDeep(receiver, hit) || containsDeep(target, hit) ||
            (hit.localName === 'label' && hit.control === target) ||
            (closestDeep(hit, n => n.localName === 'label') || {}).control === target) {
            return { x, y, hit };
        }
        blocker = blocker || hit;
    }
    if (!blocker) fail('not_visible', notVisibleMessage(label, command));
    const covering = describeCovering(blocker);
    fail('obscured', `Element ${label} is covered by ${covering} where a person would ${command === 'hover' ? 'point at' : 'click'} it, ` +
        `so the ${command} would reach that instead. Close or answer what covers it first, or scroll the element clear of it.`);
}

function notVisibleMessage(label, command) {
    return `Element ${label} is on the page but not visible (hidden, collapsed, without size or outside what can be ` +
        `scrolled to), so a person could not ${command === 'fill' ? 'type into' : command === 'select' ? 'choose in' : command} it. ` +
        'Open the menu, tab or section that holds it first, then take a snapshot.';
}

function checkEnabled(el, label, command) {
    if (isDisabled(el)) {
        fail('disabled', `Element ${label} is disabled, so it cannot be ${command === 'fill' ? 'typed into' : command === 'select' ? 'changed' : 'used'}. ` +
            'A form often enables it once its required fields are filled; check them, or wait for the page.');
    }
    if (closestDeep(el, n => n.hasAttribute('inert'))) {
        fail('disabled', `Element ${label} is switched off by the page (it lies in an inert part of the page, ` +
            'usually behind an open dialog). Finish with what the page shows in front of it first.');
    }
}

function mouseInit(x, y, extra) {
    return Object.assign({
        bubbles: true, cancelable: true, composed: true, view: window,
        clientX: x, clientY: y, screenX: x + window.screenX, screenY: y + window.screenY,
        button: 0, buttons: 0, detail: 1, pointerId: 1, pointerType: 'mouse', isPrimary: true,
    }, extra);
}

function focusableAncestor(el) {
    return closestDeep(el, n => n.tabIndex >= 0 || n.hasAttribute('tabindex') || n.isContentEditable ||
        /^(input|select|textarea|button|a|summary)$/.test(n.localName)) || null;
}

function clickAt(point) {
    const { x, y, hit } = point;
    const fire = (type, ctor, extra) => hit.dispatchEvent(new ctor(type, mouseInit(x, y, extra)));
    const P = typeof PointerEvent === 'function' ? PointerEvent : MouseEvent;
    fire('pointerover', P);
    fire('pointerenter', P, { bubbles: false });
    fire('mouseover', MouseEvent);
    fire('mouseenter', MouseEvent, { bubbles: false });
    fire('pointermove', P);
    fire('mousemove', MouseEvent);
    const downOk = fire('pointerdown', P, { buttons: 1 }) & fire('mousedown', MouseEvent, { buttons: 1 });
    if (downOk) {
        const focusable = focusableAncestor(hit);
        if (focusable && hit.isConnected) focusable.focus({ preventScroll: true });
        else {
            const active = deepActiveElement();
            if (active && active !== document.body && active.blur) active.blur();
        }
    }
    if (!hit.isConnected) return;
    fire('pointerup', P);
    fire('mouseup', MouseEvent);
    if (!hit.isConnected) return;
    fire('click', MouseEvent);
}

function click(args) {
    const { el, label } = elementFor(args, 'click');
    checkEnabled(el, label, 'click');
    const standIn = visibility(el) ? null : labelStandIn(el);
    const receiver = standIn ? standIn.label : el;
    whileActing(() => clickAt(clickPoint(el, receiver, label, 'click')));
    return undefined;
}

function hover(args) {
    const { el, label } = elementFor(args, 'hover');
    const standIn = visibility(el) ? null : labelStandIn(el);
    const receiver = standIn ? standIn.label : el;
    const point = whileActing(() => clickPoint(el, receiver, label, 'hover'));
    // From a subframe of the same origin, report the point in the top page.
    let x = point.x, y = point.y;
    try {
        for (let w = window; w !== w.top && w.frameElement; w = w.parent) {
            const fe = w.frameElement, r = fe.getBoundingClientRect();
            x += r.left + fe.clientLeft;
            y += r.top + fe.clientTop;
        }
    } catch (e) { /* a frame of another origin: the point stays the frame's */ }
    return { x, y };
}

// A document in quirks mode lets a bare ':hover' match links alone; a
// second pseudo-class in the compound lifts that quirk for every element.
const HOVER = ':hover:is(*)';

function hovered(args) {
    const { el } = elementFor(args, 'hovered');
    if (matchesSafe(el, HOVER)) return true;
    const standIn = labelStandIn(el);
    return !!(standIn && matchesSafe(standIn.label, HOVER));
}

function scroll(args) {
    if (args.ref !== undefined) {
        const { el, label } = elementFor(args, 'scroll');
        const standIn = visibility(el) ? null : labelStandIn(el);
        const receiver = standIn ? standIn.label : el;
        if (!visibility(receiver)) fail('not_visible', notVisibleMessage(label, 'scroll to'));
        whileActing(() => scrollIntoViewNow(receiver));
        return undefined;
    }
    const dx = Number(args.dx) || 0, dy = Number(args.dy) || 0;
    whileActing(() => scrollPageBy(dx, dy));
    return undefined;
}

// Scrolls the page, or, on a page that does not scroll itself (an app whose
// content scrolls in a panel), the largest panel that can scroll that way.
function scrollPageBy(dx, dy, from) {
    const page = document.scrollingElement || document.documentElement;
    const canScroll = (el, isPage) => {
        const cs = styleOf(el);
        const okY = dy === 0 || (el.scrollHeight > el.clientHeight + 1 &&
            (isPage ? cs.overflowY !== 'hidden' : /auto|scroll|overlay/.test(cs.overflowY)) &&
            (dy > 0 ? el.scrollTop + el.clientHeight < el.scrollHeight - 1 : el.scrollTop > 0));
        const okX = dx === 0 || (el.scrollWidth > el.clientWidth + 1 &&
            (isPage ? cs.overflowX !== 'hidden' : /auto|scroll|overlay/.test(cs.overflowX)));
        return okY && okX;
    };
    const by = el => {
        try {
            el.scrollBy({ left: dx, top: dy, behavior: 'instant' });
        } catch (e) {
            el.scrollBy(dx, dy);
        }
    };
    // The panel around the given element comes first (keys pressed in it).
    for (let node = from; node && node.nodeType === 1 && node !== page; node = flatParent(node)) {
        if (canScroll(node, false)) return by(node);
    }
    if (page && canScroll(page, true)) return by(window);
    let best = null, bestArea = 0;
    for (const el of document.querySelectorAll('body *')) {
        if (el.scrollHeight <= el.clientHeight + 1 && el.scrollWidth <= el.clientWidth + 1) continue;
        if (!canScroll(el, false)) continue;
        const area = el.clientWidth * el.clientHeight;
        if (area > bestArea && el.checkVisibility()) {
            best = el;
            bestArea = area;
        }
    }
    by(best || window);
}

// ---------------------------------------------------------------------------
// fill

const DIRECT_TYPES = /^(date|time|datetime-local|month|week|color|range)$/;
const FORMATS = {
    date: 'a date as 2024-12-31', time: 'a time as 13:45', 'datetime-local': 'a date and time as 2024-12-31T13:45',
    month: 'a month as 2024-12', week: 'a week as 2024-W52', color: 'a colour as #336699', range: 'a number',
    number: 'a number',
};

function inputEvent(el, data, inputType) {
    let ev;
    try {
        ev = new InputEvent('input', { bubbles: true, composed: true, data, inputType });
    } catch (e) {
        ev = new Event('input', { bubbles: true, composed: true });
    }
    el.dispatchEvent(ev);
}

// The field inside a widget that takes the typing (a combobox wrapper).
function typingTarget(el) {
    if (isEditableText(el)) return el;
    const role = roleOf(el);
    if (role === 'textbox' || role === 'searchbox' || role === 'combobox' || role === 'spinbutton') {
        const inner = el.querySelector('input, textarea, [contenteditable=""], [contenteditable="true"]') ||
            (el.shadowRoot && el.shadowRoot.querySelector('input, textarea'));
        if (inner && isEditableText(inner)) return inner;
    }
    return null;
}

function fill(args) {
    const { el, label, role } = elementFor(args, 'fill');
    if (typeof args.value !== 'string') fail(null, 'fill needs a "value" argument with the text to type.');
    const value = args.value;
    const field = typingTarget(el);
    if (!field) {
        const hint = el.localName === 'select' || role === 'combobox' || role === 'listbox'
            ? 'Use select to choose one of its options.'
            : role === 'checkbox' || role === 'radio' || role === 'switch'
                ? 'Use click to check or uncheck it.'
                : el.localName === 'input' && el.type === 'file'
                    ? 'A file field takes a file from the file chooser: click it instead.'
                    : 'Fill works on text fields; use click for buttons and links, and select for dropdowns.';
        fail('wrong_type', `Element ${label} does not take typed text. ${hint}`);
    }
    checkEnabled(field, label, 'fill');
    if (field.readOnly) {
        fail('disabled', `Element ${label} is read-only, so nothing can be typed into it. ` +
            'The page may fill it itself, or offer a button or picker to change it.');
    }
    const receiver = visibility(field) ? field : (visibility(el) ? el : null);
    if (!receiver) fail('not_visible', notVisibleMessage(label, 'fill'));

    whileActing(() => {
        const v = visibility(receiver);
        if (!v || !v.view) scrollIntoViewNow(receiver);
        field.focus({ preventScroll: true });
        if (field.isContentEditable && field.localName !== 'input' && field.localName !== 'textarea') {
            fillEditable(field, value);
        } else {
            fillControl(field, value, label);
        }
        const state = fieldState(field);
        state.baseline = fieldValue(field);
        state.dirty = false;
    });
    return undefined;
}

function fillControl(field, value, label) {
    const type = field.localName === 'input' ? field.type : 'textarea';
    if (DIRECT_TYPES.test(type)) {
        field.value = value;
        if (value && field.value === '' || (type === 'range' && value && String(Number(value)) !== String(Number(field.value)) && isNaN(Number(value)))) {
            fail('wrong_type', `Element ${label} did not take ${quote(value)}: it takes ${FORMATS[type]}.`);
        }
        inputEvent(field, value, 'insertReplacementText');
        field.dispatchEvent(new Event('change', { bubbles: true }));
        return;
    }
    let expected = value;
    if (field.localName === 'input') expected = expected.replace(/[\r\n]+/g, '');
    if (field.maxLength >= 0) expected = expected.slice(0, field.maxLength);
    let typed = false;
    try {
        field.select();
        typed = value === '' ? document.execCommand('delete') || field.value === ''
            : document.execCommand('insertText', false, value);
    } catch (e) {
        typed = false;
    }
    if (!typed || field.value !== expected) {
        // The editing command did not reach the field (it is not focused, or
        // the engine refused): set the value as typing would leave it.
        field.value = expected;
        if (type === 'number' && expected && field.value === '') {
            fail('wrong_type', `Element ${label} did not take ${quote(value)}: it takes a number.`);
        }
        inputEvent(field, expected, 'insertText');
    } else {
        // Setting the value from script makes the engine forget the typing,
        // so leaving the field later fires no second change of its own.
        // (The engine ignores a value equal to the current one.)
        const typedValue = field.value;
        field.value = typedValue === '' ? '0' : '';
        field.value = typedValue;
    }
    field.dispatchEvent(new Event('change', { bubbles: true }));
}

function fillEditable(field, value) {
    const selection = window.getSelection();
    const range = document.createRange();
    range.selectNodeContents(field);
    selection.removeAllRanges();
    selection.addRange(range);
    let typed = false;
    try {
        typed = value === '' ? document.execCommand('delete') : document.execCommand('insertText', false, value);
    } catch (e) {
        typed = false;
    }
    if (!typed || collapse(field.innerText) !== collapse(value)) {
        field.textContent = value;
        inputEvent(field, value, 'insertText');
    }
}

// ---------------------------------------------------------------------------
// select

const OPTION_ROLES = /^(option|menuitem|menuitemradio|menuitemcheckbox|radio|tab|treeitem)$/;

function matchOption(options, wanted, labelOf, valueOf) {
    const w = collapse(wanted);
    return options.find(o => collapse(labelOf(o)) === w) ||
        options.find(o => valueOf && valueOf(o) === wanted) ||
        options.find(o => collapse(labelOf(o)).toLowerCase() === w.toLowerCase()) || null;
}

function noOption(label, wanted, labels) {
    const listed = labels.slice(0, 20).map(quote).join(', ');
    const more = labels.length > 20 ? `, and ${labels.length - 20} more` : '';
    fail('no_option', `Element ${label} has no option ${quote(wanted)}. ` +
        (labels.length ? `Its options: ${listed}${more}.` : 'It shows no options now; open it with click and take a snapshot.'));
}

function select(args) {
    const { el, label, role } = elementFor(args, 'select');
    if (typeof args.option !== 'string') fail(null, 'select needs an "option" argument with the option to choose.');
    const wanted = args.option;
    checkEnabled(el, label, 'select');

    if (el.localName === 'select') {
        if (!visibility(el)) fail('not_visible', notVisibleMessage(label, 'select'));
        const options = Array.from(el.options);
        const option = matchOption(options, wanted, o => o.label || o.text, o => o.value);
        if (!option) noOption(label, wanted, options.map(optionLabel).filter(Boolean));
        if (option.disabled || (option.parentElement && option.parentElement.localName === 'optgroup' && option.parentElement.disabled)) {
            fail('disabled', `Option ${quote(optionLabel(option))} of ${label} is disabled, so it cannot be chosen.`);
        }
        whileActing(() => {
            el.focus({ preventScroll: true });
            if (!option.selected || !el.multiple) {
                option.selected = true;
                inputEvent(el, null, 'insertReplacementText');
                el.dispatchEvent(new Event('change', { bubbles: true }));
            }
        });
        return undefined;
    }

    if (el.localName === 'input' && el.list) {
        const options = Array.from(el.list.options);
        const option = matchOption(options, wanted, o => o.label || o.value, o => o.value);
        if (!option) noOption(label, wanted, options.map(o => collapse(o.value || o.label)).filter(Boolean));
        return fill({ ref: args.ref, value: option.value });
    }

    if (!/^(combobox|listbox|menu|menubar|radiogroup|tablist|tree|menuitem|button)$/.test(role || '')) {
        fail('wrong_type', `Element ${label} is not a dropdown or list, so it has no options to choose. ` +
            'Select works on dropdowns and lists; use click for buttons, links, checkboxes and radio buttons, and fill for text fields.');
    }
    return selectCustom(el, label, wanted);
}

// Options that a custom list shows: inside it, or in the popup it controls.
function customOptions(el) {
    const scopes = [el, ...referencedElements(el, 'aria-controls'), ...referencedElements(el, 'aria-owns')];
    const inner = el.querySelector('[aria-controls], [aria-owns]');
    if (inner) scopes.push(...referencedElements(inner, 'aria-controls'), ...referencedElements(inner, 'aria-owns'));
    const active = el.getAttribute('aria-activedescendant');
    if (active) {
        const option = el.getRootNode().getElementById(active);
        if (option && option.parentElement) scopes.push(option.parentElement);
    }
    const found = [];
    for (const scope of scopes) {
        for (const o of scope.querySelectorAll('[role]')) {
            if (OPTION_ROLES.test(o.getAttribute('role')) && !found.includes(o) && visibility(o)) found.push(o);
        }
    }
    return found;
}

function selectCustom(el, label, wanted) {
    return whileActingAsync(async () => {
        let options = customOptions(el);
        if (!options.length) {
            const v = visibility(el);
            if (!v) fail('not_visible', notVisibleMessage(label, 'select'));
            clickAt(clickPoint(el, el, label, 'select'));
            const end = Date.now() + 1500;
            while (!options.length && Date.now() < end) {
                await new Promise(resolve => setTimeout(resolve, 50));
                options = customOptions(el);
            }
        }
        const option = matchOption(options, wanted, o => accessibleName(o), null);
        if (!option) noOption(label, wanted, options.map(o => accessibleName(o)).filter(Boolean));
        if (isDisabled(option)) fail('disabled', `Option ${quote(accessibleName(option))} of ${label} is disabled, so it cannot be chosen.`);
        clickAt(clickPoint(option, option, `option ${quote(accessibleName(option))}`, 'select'));
        return undefined;
    });
}

// ---------------------------------------------------------------------------
// press

const KEY_NAMES = new Map(Object.entries({
    enter: 'Enter', return: 'Enter', tab: 'Tab', escape: 'Escape', esc: 'Escape', backspace: 'Backspace',
    delete: 'Delete', del: 'Delete', space: ' ', spacebar: ' ', arrowup: 'ArrowUp', up: 'ArrowUp',
    arrowdown: 'ArrowDown', down: 'ArrowDown', arrowleft: 'ArrowLeft', left: 'ArrowLeft', arrowright: 'ArrowRight',
    right: 'ArrowRight', home: 'Home', end: 'End', pageup: 'PageUp', pagedown: 'PageDown', insert: 'Insert',
    f1: 'F1', f2: 'F2', f3: 'F3', f4: 'F4', f5: 'F5', f6: 'F6', f7: 'F7', f8: 'F8', f9: 'F9', f10: 'F10',
    f11: 'F11', f12: 'F12',
}));
const MODIFIERS = new Map(Object.entries({
    control: 'ctrlKey', ctrl: 'ctrlKey', shift: 'shiftKey', alt: 'altKey', option: 'altKey', meta: 'metaKey',
    command: 'metaKey', cmd: 'metaKey', super: 'metaKey',
}));
const KEY_CODES = {
    Enter: 13, Tab: 9, Escape: 27, Backspace: 8, Delete: 46, ' ': 32, ArrowUp: 38, ArrowDown: 40, ArrowLeft: 37,
    ArrowRight: 39, Home: 36, End: 35, PageUp: 33, PageDown: 34, Insert: 45,
};

function parseKey(text) {
    const raw = String(text);
    let parts = raw.split('+');
    // "Control++" and "+" name the plus key itself.
    if (raw.endsWith('+')) parts = [...raw.slice(0, -1).split('+').filter(Boolean), '+'];
    const mods = { ctrlKey: false, shiftKey: false, altKey: false, metaKey: false };
    const keyPart = parts.pop();
    for (const m of parts) {
        const flag = MODIFIERS.get(m.trim().toLowerCase());
        if (!flag) return null;
        mods[flag] = true;
    }
    let key;
    if ([...keyPart].length === 1) key = keyPart;
    else key = KEY_NAMES.get(keyPart.trim().toLowerCase());
    if (!key) return null;
    return { key, mods };
}

function keyCode(key) {
    if (key in KEY_CODES) return KEY_CODES[key];
    if (/^F\d+$/.test(key)) return 111 + Number(key.slice(1));
    if (/^[a-z]$/i.test(key)) return key.toUpperCase().charCodeAt(0);
    if (/^\d$/.test(key)) return key.charCodeAt(0);
    return 0;
}

function codeOf(key) {
    if (/^[a-z]$/i.test(key)) return 'Key' + key.toUpperCase();
    if (/^\d$/.test(key)) return 'Digit' + key;
    if (key === ' ') return 'Space';
    return key.length > 1 ? key : '';
}

function keyEvent(target, type, key, mods) {
    const code = keyCode(key);
    const init = Object.assign({
        key, code: codeOf(key), bubbles: true, cancelable: true, composed: true, view: window,
        keyCode: type === 'keypress' ? key.length === 1 ? key.charCodeAt(0) : code : code,
        which: type === 'keypress' ? key.length === 1 ? key.charCodeAt(0) : code : code,
        charCode: type === 'keypress' && key.length === 1 ? key.charCodeAt(0) : 0,
    }, mods);
    return target.dispatchEvent(new KeyboardEvent(type, init));
}

function press(args) {
    if (typeof args.key !== 'string' || !args.key) {
        fail(null, 'press needs a "key" argument, such as Enter, Tab, Escape, ArrowDown or a single character.');
    }
    const parsed = parseKey(args.key);
    if (!parsed) {
        fail(null, `press does not know the key ${quote(args.key)}. Name a key such as Enter, Tab, Escape, Backspace, ` +
            'ArrowDown, PageDown or a single character, with modifiers joined by + (Control+a, Shift+Tab).');
    }
    let target;
    if (args.ref !== undefined) {
        const { el, label } = elementFor(args, 'press');
        checkEnabled(el, label, 'press');
        const standIn = visibility(el) ? null : labelStandIn(el);
        if (!standIn && !visibility(el)) fail('not_visible', notVisibleMessage(label, 'press a key on'));
        target = el;
        whileActing(() => {
            if (deepActiveElement() !== el) el.focus({ preventScroll: false });
        });
    } else {
        target = deepActiveElement() || document.body || document.documentElement;
    }
    if (!target) fail(null, 'The page has nothing to press a key on yet.');
    whileActing(() => pressOn(target, parsed.key, parsed.mods));
    return undefined;
}

function pressOn(target, key, mods) {
    const proceed = keyEvent(target, 'keydown', key, mods);
    const plain = !mods.ctrlKey && !mods.metaKey && !mods.altKey;
    const editable = isEditableText(target) && !target.readOnly && !target.disabled;
    if (proceed) {
        if (plain && (key.length === 1 || key === 'Enter')) {
            if (keyEvent(target, 'keypress', key, mods)) defaultKeyAction(target, key, mods, editable);
        } else {
            defaultKeyAction(target, key, mods, editable);
        }
    }
    if (target.isConnected) keyEvent(target, 'keyup', key, mods);
}

// What the browser would do for a key that nothing prevented.
function defaultKeyAction(target, key, mods, editable) {
    const plain = !mods.ctrlKey && !mods.metaKey && !mods.altKey;
    const role = roleOf(target);
    if ((mods.ctrlKey || mods.metaKey) && key.toLowerCase() === 'a' && !mods.altKey) {
        if (editable && target.select) target.select();
        else document.execCommand('selectAll');
        return;
    }
    if (!plain) return;
    if (key.length === 1) {
        if (key === ' ' && !editable && (role === 'button' || role === 'checkbox' || role === 'radio' ||
            role === 'switch' || target.localName === 'summary')) {
            target.click();
            return;
        }
        if (editable) {
            if (!document.execCommand('insertText', false, key) && 'value' in target) {
                target.value += key;
                inputEvent(target, key, 'insertText');
            }
            return;
        }
        if (key === ' ') scrollPageBy(0, (mods.shiftKey ? -1 : 1) * window.innerHeight * 0.875, target);
        return;
    }
    switch (key) {
    case 'Enter':
        if (target.localName === 'textarea' || (editable && target.isContentEditable)) {
            document.execCommand('insertLineBreak') || document.execCommand('insertText', false, '\n');
        } else if (target.localName === 'input' && target.form && !/^(button|submit|reset|image|checkbox|radio|file)$/.test(target.type)) {
            submitImplicitly(target.form);
        } else if (role === 'button' || role === 'link' || target.localName === 'summary' ||
            (target.localName === 'input' && /^(button|submit|reset|image)$/.test(target.type))) {
            target.click();
        }
        return;
    case 'Tab':
        moveFocus(target, mods.shiftKey ? -1 : 1);
        return;
    case 'Backspace':
    case 'Delete':
        if (editable) document.execCommand(key === 'Backspace' ? 'delete' : 'forwardDelete');
        return;
    case 'Escape': {
        const dialog = Array.from(document.querySelectorAll('dialog[open]')).reverse().find(d => matchesSafe(d, ':modal'));
        if (dialog) {
            if (dialog.dispatchEvent(new Event('cancel', { cancelable: true }))) dialog.close();
            return;
        }
        const popover = Array.from(document.querySelectorAll('[popover]')).reverse().find(p => matchesSafe(p, ':popover-open'));
        if (popover && popover.hidePopover) popover.hidePopover();
        return;
    }
    case 'ArrowUp':
    case 'ArrowDown':
    case 'ArrowLeft':
    case 'ArrowRight': {
        const step = key === 'ArrowUp' || key === 'ArrowLeft' ? -1 : 1;
        if (target.localName === 'select' && !target.multiple) {
            const options = Array.from(target.options);
            let i = target.selectedIndex + step;
            while (i >= 0 && i < options.length && options[i].disabled) i += step;
            if (i >= 0 && i < options.length && i !== target.selectedIndex) {
                target.selectedIndex = i;
                inputEvent(target, null, 'insertReplacementText');
                target.dispatchEvent(new Event('change', { bubbles: true }));
            }
            return;
        }
        if (target.localName === 'input' && target.type === 'radio' && target.name) {
            const group = Array.from((target.form || document).querySelectorAll('input[type=radio]'))
                .filter(r => r.name === target.name && !r.disabled);
            const next = group[(group.indexOf(target) + step + group.length) % group.length];
            if (next && next !== target) {
                next.focus();
                next.checked = true;
                next.dispatchEvent(new Event('input', { bubbles: true, composed: true }));
                next.dispatchEvent(new Event('change', { bubbles: true }));
            }
            return;
        }
        if (editable) return;
        if (key === 'ArrowUp' || key === 'ArrowDown') scrollPageBy(0, step * 40, target);
        else scrollPageBy(step * 40, 0, target);
        return;
    }
    case 'PageUp':
    case 'PageDown':
        if (!editable) scrollPageBy(0, (key === 'PageUp' ? -1 : 1) * window.innerHeight * 0.875, target);
        return;
    case 'Home':
    case 'End':
        if (!editable) {
            const page = document.scrollingElement || document.documentElement;
            scrollPageBy(0, key === 'Home' ? -page.scrollHeight : page.scrollHeight, target);
        }
        return;
    }
}

function submitImplicitly(form) {
    const submitter = Array.from(form.elements).find(e =>
        (e.localName === 'button' && e.type === 'submit') ||
        (e.localName === 'input' && (e.type === 'submit' || e.type === 'image')));
    if (submitter) {
        if (!submitter.disabled) submitter.click();
        return;
    }
    const blocking = Array.from(form.elements).filter(e => e.localName === 'input' &&
        /^(text|search|email|url|tel|password|date|time|datetime-local|month|week|number)$/.test(e.type));
    if (blocking.length <= 1) {
        if (form.requestSubmit) form.requestSubmit();
        else form.submit();
    }
}

function sequentialFocusables() {
    const all = [];
    const walk = root => {
        for (const el of root.querySelectorAll('*')) {
            if (el.shadowRoot) walk(el.shadowRoot);
            if (el.tabIndex < 0 || isDisabled(el) || el.localName === 'body') continue;
            if (!el.checkVisibility({ visibilityProperty: true })) continue;
            all.push(el);
        }
    };
    walk(document);
    const positive = all.filter(e => e.tabIndex > 0).sort((a, b) => a.tabIndex - b.tabIndex);
    return [...positive, ...all.filter(e => e.tabIndex === 0)];
}

function moveFocus(from, step) {
    const list = sequentialFocusables();
    if (!list.length) return;
    let i = list.indexOf(from);
    if (i < 0) i = step > 0 ? -1 : list.length;
    const next = list[i + step];
    if (next) next.focus();
    else if (from && from.blur) from.blur();
}

// ---------------------------------------------------------------------------
// status: what keeps the page from being at rest.

let lastChange = 0;
let lastChanged = null;

const NOISE_TAGS = new Set(['script', 'style', 'link', 'meta', 'noscript', 'template', 'title', 'head', 'base']);

function noticeMutations(records) {
    for (let i = records.length - 1; i >= 0; i--) {
        const r = records[i];
        const target = r.target.nodeType === 1 ? r.target : r.target.parentElement;
        if (!target || NOISE_TAGS.has(target.localName)) continue;
        if (r.type === 'childList') {
            const nodes = [...r.addedNodes, ...r.removedNodes];
            if (nodes.length && nodes.every(n => n.nodeType === 1 && NOISE_TAGS.has(n.localName) || n.nodeType === 8)) continue;
        }
        if (target.closest && target.closest('head')) continue;
        lastChange = performance.now();
        lastChanged = target;
        return;
    }
}

try {
    new MutationObserver(noticeMutations).observe(document, {
        subtree: true, childList: true, attributes: true, characterData: true,
    });
} catch (e) { /* no document to watch */ }

const LOADING_LOOK = /spin|load|progress|busy|skeleton|shimmer|wait|pending/i;

function looksLikeLoading(el) {
    for (let node = el, depth = 0; node && node.nodeType === 1 && depth < 4; node = flatParent(node), depth++) {
        const hint = (node.getAttribute('class') || '') + ' ' + node.id + ' ' + (node.getAttribute('role') || '') +
            ' ' + (node.getAttribute('aria-label') || '');
        if (LOADING_LOOK.test(hint) || node.getAttribute('aria-busy') === 'true') return true;
    }
    return false;
}

// Animations that hold the page: running, on something rendered, finite or
// a loading indicator (an endless decoration would hold it forever).
function runningAnimation() {
    if (typeof document.getAnimations !== 'function') return null;
    for (const animation of document.getAnimations()) {
        if (animation.playState !== 'running') continue;
        const effect = animation.effect;
        const target = effect && effect.target;
        if (!target || target.nodeType !== 1 || !target.isConnected || !target.checkVisibility()) continue;
        const timing = effect.getComputedTiming();
        if (timing.endTime === Infinity || timing.activeDuration === Infinity) {
            if (!looksLikeLoading(target)) continue;
        }
        return animation;
    }
    return null;
}

function status() {
    const reply = {
        readyState: document.readyState,
        quietMs: Math.max(0, performance.now() - lastChange),
        animating: false,
    };
    if (lastChanged) reply.mutated = describeNode(lastChanged);
    const animation = runningAnimation();
    if (animation) {
        reply.animating = true;
        const what = animation.animationName || animation.transitionProperty || animation.id;
        reply.animated = describeNode(animation.effect.target) + (what ? ` (${what})` : '');
    }
    return reply;
}

// ---------------------------------------------------------------------------
// The person's actions, reported as they happen on "person"; typing that has
// not been committed yet is answered by "typed".

const fields = new WeakMap();   // field -> {baseline, dirty, trusted}

function fieldState(el) {
    let state = fields.get(el);
    if (!state) {
        state = { baseline: fieldValue(el), dirty: false, trusted: true };
        fields.set(el, state);
    }
    return state;
}

function capture(el) {
    try {
        return locatorOf(el);
    } catch (e) {
        return undefined;
    }
}

function reportPerson(action, el, value, trusted) {
    const body = { action };
    if (el) {
        const target = capture(el);
        if (target) body.target = target;
    }
    if (value !== undefined) body.value = value;
    body.trusted = !!trusted;
    post('person', toJSON(body));
}

function eventTarget(e) {
    const path = e.composedPath ? e.composedPath() : [];
    const first = path[0] || e.target;
    return first && first.nodeType === 3 ? first.parentElement : first;
}

function commitTyping(el, trusted) {
    if (!el || !isEditableText(el)) return;
    const state = fieldState(el);
    const value = fieldValue(el);
    if (value === state.baseline) {
        state.dirty = false;
        return;
    }
    state.baseline = value;
    state.dirty = false;
    if (el.localName === 'input' && /^(checkbox|radio|file)$/.test(el.type)) return;
    reportPerson('fill', el, value, trusted && state.trusted);
}

// The element a click acted on, as the list names it: the nearest control,
// else the outermost element that shows the pointer hand.
function clickedElement(start) {
    let outerPointer = null;
    for (let node = start; node && node.nodeType === 1; node = flatParent(node)) {
        const tag = node.localName;
        if (tag === 'body' || tag === 'html') break;
        if (tag === 'label' && node.control) return node.control;
        const role = roleOf(node);
        if (role && WIDGET_ROLES.has(role) && !(role === 'option' && tag === 'option')) return node;
        if (styleOf(node).cursor === 'pointer' || node.hasAttribute('onclick')) outerPointer = node;
    }
    return outerPointer;
}

let forwardedFromLabel = null;

function onClick(e) {
    if (acting) return;
    const start = eventTarget(e);
    if (!start || start.nodeType !== 1) return;
    const el = clickedElement(start);
    if (!el) return;
    if (el === forwardedFromLabel) return;
    const label = closestDeep(start, n => n.localName === 'label');
    if (label && label.control === el && !containsDeep(el, start)) {
        forwardedFromLabel = el;
        setTimeout(() => { forwardedFromLabel = null; }, 0);
    }
    if (isEditableText(el) || el.localName === 'select' || el.localName === 'option') return;
    const active = deepActiveElement();
    if (active && active !== el && isEditableText(active)) commitTyping(active, e.isTrusted);
    reportPerson('click', el, undefined, e.isTrusted);
}

function onInput(e) {
    if (acting) return;
    const el = eventTarget(e);
    if (!el || !isEditableText(el)) return;
    const state = fieldState(el);
    state.dirty = true;
    state.trusted = e.isTrusted;
}

function onChange(e) {
    if (acting) return;
    const el = eventTarget(e);
    if (!el) return;
    if (el.localName === 'select') {
        const value = Array.from(el.selectedOptions, optionLabel).join(', ');
        reportPerson('select', el, value, e.isTrusted);
    } else if (isEditableText(el)) {
        commitTyping(el, e.isTrusted);
    }
}

function onFocusIn(e) {
    if (acting) return;
    const el = eventTarget(e);
    if (el && isEditableText(el)) fieldState(el);
}

function onFocusOut(e) {
    if (acting) return;
    const el = eventTarget(e);
    if (el && el.isContentEditable && el.localName !== 'input' && el.localName !== 'textarea') commitTyping(el, e.isTrusted);
}

function onKeyDown(e) {
    if (acting || e.ctrlKey || e.metaKey || e.altKey) return;
    if (e.key !== 'Enter' && e.key !== 'Escape') return;
    const el = eventTarget(e);
    const focused = el && el.nodeType === 1 ? el : null;
    if (focused && e.key === 'Enter') {
        // Enter on a button or link clicks it, and the click is reported.
        const role = roleOf(focused);
        if (role === 'button' || role === 'link' || focused.localName === 'textarea' ||
            (focused.isContentEditable && focused.localName !== 'input')) return;
    }
    if (focused && isEditableText(focused)) commitTyping(focused, e.isTrusted);
    const target = focused && focused !== document.body && (roleOf(focused) || '') ? focused : null;
    reportPerson('press', target, e.key, e.isTrusted);
}

function typed() {
    const el = deepActiveElement();
    if (!el || !isEditableText(el)) return undefined;
    const state = fields.get(el);
    if (!state || !state.dirty) return undefined;
    const value = fieldValue(el);
    state.dirty = false;
    if (value === state.baseline) return undefined;
    state.baseline = value;
    const body = { action: 'fill' };
    const target = capture(el);
    if (target) body.target = target;
    body.value = value;
    body.trusted = state.trusted;
    return body;
}

const guarded = fn => e => {
    try {
        fn(e);
    } catch (err) {
        // Recording must never disturb the page.
    }
};

window.addEventListener('click', guarded(onClick), true);
window.addEventListener('input', guarded(onInput), true);
window.addEventListener('change', guarded(onChange), true);
window.addEventListener('focusin', guarded(onFocusIn), true);
window.addEventListener('focusout', guarded(onFocusOut), true);
window.addEventListener('keydown', guarded(onKeyDown), true);

// ---------------------------------------------------------------------------
// The entry point.

const COMMANDS = {
    scan, probe, locator, find, click, hover, hovered, fill, select, press, scroll, typed, status,
};

function envelope(ok, value) {
    const reply = { ok };
    if (value !== undefined) reply.value = value;
    return toJSON(reply);
}

function failure(e, command) {
    const reply = { ok: false };
    if (e instanceof AgentFailure) {
        if (e.code) reply.code = e.code;
        if (e.message) reply.message = e.message;
    } else {
        const text = e && typeof e === 'object' ? (e.message || e.name || '') : String(e ?? '');
        if (text) reply.message = `The page agent failed on ${command}: ${text}`;
    }
    return toJSON(reply);
}

function call(command, args) {
    const name = String(command);
    labelMaps = new Map();
    const handler = Object.prototype.hasOwnProperty.call(COMMANDS, name) ? COMMANDS[name] : null;
    if (!handler) {
        return failure(new AgentFailure(null, `The page agent has no command ${quote(name)}.`), name);
    }
    let result;
    try {
        result = handler(args && typeof args === 'object' ? args : {});
    } catch (e) {
        return failure(e, name);
    }
    if (result && typeof result.then === 'function') {
        return result.then(value => envelope(true, value), e => failure(e, name));
    }
    return envelope(true, result);
}

Object.defineProperty(globalThis, '__agent', {
    value: Object.freeze({ call }),
    writable: false, enumerable: false, configurable: false,
});

// Announce the frame: on every new document, and again when the document
// comes back from the back/forward cache, since the session forgot its frames.
// This world's view of the frame's location is its own; page scripts cannot
// change what it reads.
function announce() {
    post('frame', JSON.stringify({ id: frameId(), main: window === window.top, origin: location.origin }));
}
announce();
window.addEventListener('pageshow', e => {
    if (e.persisted) announce();
}, true);
})();
