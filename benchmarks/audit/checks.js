// The audit's checks in one frame of the audited page, run in the page's own
// world (where listeners.js noted the page's listeners). The audit program
// calls it as a function of one argument:
//
// {elements: [{ref, selector, role, name, context, line}]}
//   finds each listed element of this frame by its selector and checks that
//   it is visible, reachable where a click lands, placed by the text of its
//   own containers and not named by class words, and whether anything a
//   person reads tells apart those whose lines are alike; then looks for
//   what a person could click that no listed element is or holds. Where a
//   check fails in a way the page means, the answer says which (a
//   `category`). It answers
//   {path, url, viewport, elements: {ref: …}, clickable: {…}, frames: […]},
//   where frames tells whether each frame of this document shows.
(function (args) {
'use strict';

const collapse = s => String(s ?? '').replace(/\s+/g, ' ').trim();
const fold = s => collapse(s).toLowerCase();
const MIN_SIZE = 2;

// ---------------------------------------------------------------------------
// The flat tree: open shadow roots and slots, as the page is drawn.

function flatParent(node) {
    if (node.assignedSlot) return node.assignedSlot;
    const parent = node.parentNode;
    if (parent && parent.nodeType === 11 && parent.host) return parent.host;
    return parent;
}

function flatChildren(node) {
    if (node.nodeType === 1) {
        if (node.shadowRoot) return node.shadowRoot.childNodes;
        if (node.localName === 'slot' && node.getRootNode().host) {
            const assigned = node.assignedNodes();
            if (assigned.length) return assigned;
        }
    }
    return node.childNodes;
}

function containsDeep(outer, inner) {
    for (let node = inner; node; node = flatParent(node)) {
        if (node === outer) return true;
    }
    return false;
}

function ancestors(el) {
    const out = [];
    for (let node = flatParent(el); node && node.nodeType === 1; node = flatParent(node)) out.push(node);
    return out;
}

// Every element of the document and of the open shadow roots in it.
function allElements(root = document, out = []) {
    for (const el of root.querySelectorAll('*')) {
        out.push(el);
        if (el.shadowRoot) allElements(el.shadowRoot, out);
    }
    return out;
}

function queryAllDeep(selector) {
    let scopes = [document];
    const parts = String(selector).split('>>>').map(s => s.trim());
    parts.forEach((part, i) => {
        const found = [];
        for (const scope of scopes) {
            for (const el of scope.querySelectorAll(part)) {
                if (i === parts.length - 1) found.push(el);
                else if (el.shadowRoot) found.push(el.shadowRoot);
            }
        }
        scopes = found;
    });
    return scopes;
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

// Measured with the built-ins as the page found them (listeners.js kept
// them): a page may replace its own.
const builtins = window.__veskAuditBuiltins || { rect: Element.prototype.getBoundingClientRect, style: getComputedStyle };
const boxOf = el => builtins.rect.call(el);
const styles = new Map();
function styleOf(el) {
    let cs = styles.get(el);
    if (!cs) styles.set(el, cs = builtins.style.call(window, el));
    return cs;
}

// The text a person reads in an element, its hidden parts left out.
const texts = new Map();
function textOf(node) {
    if (node.nodeType === 3) return node.data;
    if (node.nodeType !== 1 && node.nodeType !== 11) return '';
    if (texts.has(node)) return texts.get(node);
    let text = '';
    const rendered = node.nodeType === 11 || node.localName === 'slot' || node.checkVisibility({ checkVisibilityCSS: true });
    if (rendered && !/^(script|style|template|noscript)$/.test(node.localName || '')) {
        const parts = [];
        for (const child of flatChildren(node)) parts.push(textOf(child));
        text = collapse(parts.join(' '));
        if (!text && node.localName === 'input' && /^(button|submit|reset)$/.test(node.type)) text = node.value;
    }
    texts.set(node, text);
    return text;
}

// The same without the text of one element inside it.
function textWithout(node, left) {
    if (node === left) return '';
    if (node.nodeType === 3) return node.data;
    if (!containsDeep(node, left)) return textOf(node);
    return collapse([...flatChildren(node)].map(child => textWithout(child, left)).join(' '));
}

function describe(el) {
    if (!el || el.nodeType !== 1) return String(el && el.nodeName || 'nothing');
    let s = el.localName;
    if (el.id) s += '#' + el.id;
    const classes = (el.getAttribute('class') || '').trim().split(/\s+/).filter(Boolean).slice(0, 3);
    if (classes.length) s += '.' + classes.join('.');
    const role = el.getAttribute('role');
    if (role) s += `[role=${role}]`;
    const text = collapse(textOf(el));
    return text ? `<${s}> "${text.length > 40 ? text.slice(0, 39) + '\u2026' : text}"` : `<${s}>`;
}

// ---------------------------------------------------------------------------
// Where an element shows.

const rectOf = r => ({ l: r.left, t: r.top, r: r.right, b: r.bottom });
const viewport = () => ({ l: 0, t: 0, r: window.innerWidth, b: window.innerHeight });
function intersect(a, b) {
    const l = Math.max(a.l, b.l), t = Math.max(a.t, b.t), r = Math.min(a.r, b.r), bottom = Math.min(a.b, b.b);
    return r - l >= 1 && bottom - t >= 1 ? { l, t, r, b: bottom } : null;
}

// The part of the element that its ancestors' overflow leaves showing: an
// axis that scrolls leaves everything reachable, one that is hidden or
// clipped cuts (`box`); `now` is the part that shows before any scrolling.
// The root and the body scroll the viewport, and an element placed outside
// an ancestor escapes its clip.
function shownPart(el) {
    let box = rectOf(boxOf(el));
    let now = box;
    let position = styleOf(el).position;
    const cuts = v => v === 'hidden' || v === 'clip';
    for (const a of ancestors(el)) {
        if (position === 'fixed') break;
        const cs = styleOf(a);
        const escapes = position === 'absolute' && cs.position === 'static' && cs.transform === 'none';
        if (!escapes && a !== document.documentElement && a !== document.body) {
            const r = rectOf(boxOf(a));
            if (cuts(cs.overflowX)) box = { ...box, l: Math.max(box.l, r.l), r: Math.min(box.r, r.r) };
            if (cuts(cs.overflowY)) box = { ...box, t: Math.max(box.t, r.t), b: Math.min(box.b, r.b) };
            if (box.r - box.l < 1 || box.b - box.t < 1) return { box: null, by: a };
            if (cs.overflowX !== 'visible' || cs.overflowY !== 'visible') now = now && intersect(now, r);
        }
        if (position === 'absolute' && cs.position !== 'static') position = cs.position;
        else if (position !== 'absolute') position = cs.position === 'fixed' ? 'fixed' : position;
    }
    // Off the page's own area, where no scrolling reaches.
    if (box.r + window.scrollX <= 0 || box.b + window.scrollY <= 0) return { box: null, by: null };
    return { box, now: now && intersect(now, box) };
}

// Whether the element shows on the page, and why not. `seen` also asks that
// it be opaque, as what a person would notice.
function visibility(el, seen) {
    if (!el.checkVisibility({ checkVisibilityCSS: true, checkOpacity: !!seen })) {
        return { ok: false, why: seen ? 'not shown (hidden, transparent or not rendered)' : 'not rendered (display:none, visibility:hidden or content hidden above it)' };
    }
    const r = boxOf(el);
    if (r.width < MIN_SIZE || r.height < MIN_SIZE) return { ok: false, why: `without size (${Math.round(r.width)}\u00d7${Math.round(r.height)} px)` };
    const clip = styleOf(el).clip;
    if (clip && /^rect\(0(px)?,? 0(px)?,? 0(px)?,? 0(px)?\)$/.test(clip)) return { ok: false, why: 'clipped to nothing' };
    const shown = shownPart(el);
    if (!shown.box) return { ok: false, why: shown.by ? `cut away by the overflow of ${describe(shown.by)}` : 'placed off the page' };
    return { ok: true, box: shown.box, now: shown.now };
}

function labelsOf(el) {
    const out = [];
    try {
        for (const label of el.labels || []) out.push(label);
    } catch (e) {
        // not a labelable element
    }
    return out;
}

// Whether `hit` is the element, inside it, one of its labels or what
// stands in for it.
function reaches(el, hit, receiver) {
    if (!hit) return false;
    if (containsDeep(el, hit) || containsDeep(receiver, hit)) return true;
    return labelsOf(el).some(label => containsDeep(label, hit));
}

const FRACTIONS = [[0.5, 0.5], [0.25, 0.5], [0.75, 0.5], [0.5, 0.25], [0.5, 0.75], [0.2, 0.2], [0.8, 0.8]];

// Where a click on the element lands: a point of its shown part (or of
// what stands in for it) that hits it. Scrolls it into view when it is not.
function reach(el, receiver, shown) {
    let area = shown.now && intersect(shown.now, viewport());
    if (!area) {
        receiver.scrollIntoView({ block: 'center', inline: 'center', behavior: 'instant' });
        const again = visibility(receiver, false);
        area = again.ok && again.now && intersect(again.now, viewport());
        if (!area) return { ok: false, why: 'cannot be scrolled into view' };
    }
    let blocker = null;
    for (const [fx, fy] of FRACTIONS) {
        const x = area.l + (area.r - area.l) * fx, y = area.t + (area.b - area.t) * fy;
        const hit = deepElementFromPoint(x, y);
        if (reaches(el, hit, receiver)) return { ok: true, x, y };
        blocker = blocker || hit;
    }
    return { ok: false, covered: !!blocker, category: unreachedBy(el, blocker),
        why: blocker ? `a click lands on ${describe(blocker)}` : 'a click lands on nothing' };
}

// Whether the popup that an expanded control opened holds `node`: the
// elements it names as its own, else the container it shares with them.
function popupHolds(opener, node) {
    const root = opener.getRootNode();
    const popups = ['aria-controls', 'aria-owns'].flatMap(a => (opener.getAttribute(a) || '').split(/\s+/).filter(Boolean))
        .map(id => root.getElementById ? root.getElementById(id) : document.getElementById(id)).filter(Boolean);
    if (popups.length) return popups.some(p => containsDeep(p, node));
    const parent = flatParent(opener);
    return !!parent && parent !== document.body && containsDeep(parent, node) && !containsDeep(opener, node);
}

const isDialog = el => el.localName === 'dialog' || /^(dialog|alertdialog)$/.test(el.getAttribute('role') || '') ||
    el.getAttribute('aria-modal') === 'true';

// Why a click on a listed element lands elsewhere, where the page means it
// so: it takes no pointer events, a popup that is open lies over it (its
// own or another control's: a menu), or a box with nothing to use is laid
// over it (a click then names the cover). Null for anything else.
function unreachedBy(el, blocker) {
    if (styleOf(el).pointerEvents === 'none') return 'takes no clicks (pointer-events: none)';
    if (!blocker || blocker === document.body || blocker === document.documentElement) return null;
    const opener = allElements().find(n => n.getAttribute('aria-expanded') === 'true' && popupHolds(n, blocker));
    if (opener) return opener === el ? 'covered by the popup it opened' : 'covered by a popup another control opened (an open menu)';
    let cover = blocker;
    while (flatParent(cover) && flatParent(cover).nodeType === 1 && !containsDeep(flatParent(cover), el)) cover = flatParent(cover);
    if (isDialog(cover) || ancestors(blocker).some(isDialog)) return null;
    const uses = n => n.matches(CONTROL) || listenerTargets.has(n);
    if (!uses(cover) && !allElements(cover).some(uses)) {
        return 'under a box with nothing to use laid over it (a click names the cover)';
    }
    return null;
}

// ---------------------------------------------------------------------------
// Contexts: text of the element's own containers.

const CONTROL = 'a[href], button, input:not([type=hidden]), select, textarea, summary, [contenteditable=""], ' +
    '[contenteditable=true], [tabindex], [onclick], [role=button], [role=link], [role=checkbox], [role=radio], ' +
    '[role=switch], [role=tab], [role=menuitem], [role=option], [role=treeitem], [role=gridcell], [role=combobox], ' +
    '[role=textbox], [role=slider], [role=spinbutton]';
const isCell = el => /^(td|th)$/.test(el.localName) || /^(cell|gridcell|columnheader|rowheader)$/.test(el.getAttribute('role') || '') ||
    styleOf(el).display === 'table-cell';
const isRecord = el => /^(tr|li|article)$/.test(el.localName) || /^(row|listitem|treeitem|option|article)$/.test(el.getAttribute('role') || '');

function siblingsOf(el) {
    const parent = flatParent(el);
    return parent ? [...flatChildren(parent)].filter(n => n.nodeType === 1) : [];
}
const firstClass = el => (el.getAttribute('class') || '').trim().split(/\s+/)[0] || '';
// One of several items of one shape side by side (rows, days, cards).
const repeated = el => siblingsOf(el).filter(s => s !== el && s.localName === el.localName &&
    (s.getAttribute('role') || '') === (el.getAttribute('role') || '') && firstClass(s) === firstClass(el)).length >= 1;
const holdsControls = el => el.matches(CONTROL) || !!el.querySelector(CONTROL) || listenerTargets.has(el);

// The header of the column a cell lies in.
function columnHeaderText(el) {
    const cell = [el, ...ancestors(el)].find(isCell);
    if (!cell) return '';
    const table = ancestors(cell).find(a => a.localName === 'table' || /^(grid|treegrid|table)$/.test(a.getAttribute('role') || ''));
    if (!table) return '';
    const r = boxOf(cell);
    const x = (r.left + r.right) / 2;
    const headers = allElements(table).filter(h => h.localName === 'th' || h.getAttribute('role') === 'columnheader');
    const header = headers.find(h => {
        const hr = boxOf(h);
        return h !== cell && hr.left <= x && x <= hr.right && hr.bottom <= r.top + 1;
    });
    return header ? textOf(header) : '';
}

function referencedText(el, attribute) {
    const root = el.getRootNode();
    return (el.getAttribute(attribute) || '').split(/\s+/).filter(Boolean)
        .map(id => root.getElementById ? root.getElementById(id) : document.getElementById(id))
        .filter(Boolean).map(n => n.textContent).join(' ');
}

function checkContext(el, context) {
    const wanted = fold(context.replace(/\u2026$/, ''));
    if (!wanted) return { ok: true };
    if (fold(textOf(el)).includes(wanted)) return { ok: true, how: 'own text' };
    const line = ancestors(el);
    const container = line.find(a => fold(textOf(a)).includes(wanted) || fold(textWithout(a, el)).includes(wanted));
    if (!container) {
        const elsewhere = [...labelsOf(el).map(textOf), referencedText(el, 'aria-labelledby'),
            referencedText(el, 'aria-describedby'), columnHeaderText(el)];
        if (elsewhere.some(t => fold(t).includes(wanted))) return { ok: true, how: 'label or column header' };
        // A container's own name (a list box labelled "Paragraph format").
        const named = a => fold(a.getAttribute('aria-label')).includes(wanted) || fold(referencedText(a, 'aria-labelledby')).includes(wanted);
        if (line.some(named)) return { ok: true, how: 'a container\'s name' };
        const attribute = [el, ...line].find(a => [...a.attributes].some(at => fold(at.value).includes(wanted)));
        if (attribute) {
            // The date of the day itself (on it or on the cell it fills),
            // which the context shortens to its month.
            const cell = [el, ...line].find(isCell);
            const own = attribute === el || (cell && (attribute === cell || containsDeep(cell, attribute)));
            const date = own && [...attribute.attributes].some(at => /^\d{4}-\d{2}(-\d{2})?$/.test(at.value) && at.value.startsWith(context));
            return { ok: false, category: 'an attribute\'s value', ownDate: !!date,
                why: `the text is no container's text but a value of an attribute of ${describe(attribute)}` };
        }
        return { ok: false, category: 'not a container\'s text', why: 'no container, label or column header of the element has this text' };
    }
    // Down from the container to where the text lies: through another
    // control that the text names, or through another of several items
    // (a row, a month) that holds controls of its own, it is a neighbour's.
    const path = [];
    for (let node = container; ;) {
        const next = [...flatChildren(node)].find(c => c.nodeType === 1 && fold(textOf(c)).includes(wanted));
        if (!next) break;
        path.push(next);
        node = next;
    }
    for (const step of path) {
        if (step.matches(CONTROL) && fold(textOf(step)) === wanted && !isRecord(container) && !repeated(container)) {
            return { ok: false, category: 'a neighbour\'s text', why: `the text is the control beside it, ${describe(step)}, in ${describe(container)}` };
        }
        if (repeated(step) && holdsControls(step) && !isCell(step)) {
            return { ok: false, category: 'another item\'s text', why: `the text lies in ${describe(step)}, one of several items beside the element in ${describe(container)}` };
        }
    }
    return { ok: true, how: 'container' };
}

// ---------------------------------------------------------------------------
// Names made of class words.

// Words that name what an icon shows or the action a control does, and the
// things such an action is done to: a name made of them alone, taken from a
// class, describes a nameless icon ("prev month", "toggle all", "trash").
// A class word that only styles (layout, state, a kit's prefix) is no such
// word.
const ICON_WORDS = new Set(['add', 'arrow', 'back', 'bell', 'bold', 'calendar', 'cancel', 'caret', 'check', 'chevron',
    'clear', 'close', 'collapse', 'copy', 'delete', 'dots', 'down', 'download', 'drag', 'edit', 'ellipsis', 'expand',
    'filter', 'first', 'forward', 'gear', 'handle', 'heart', 'help', 'home', 'info', 'italic', 'kebab', 'last', 'left',
    'link', 'menu', 'minus', 'more', 'next', 'notifications', 'open', 'pause', 'pin', 'play', 'plus', 'prev',
    'previous', 'print', 'redo', 'refresh', 'reload', 'remove', 'resize', 'right', 'save', 'search', 'send',
    'settings', 'share', 'sort', 'sorting', 'sorter', 'star', 'stop', 'toggle', 'trash', 'underline', 'undo', 'up',
    'upload', 'user', 'vertical', 'horizontal', 'zoom', 'in', 'out']);
const ACTED_ON = new Set(['all', 'day', 'month', 'year', 'week', 'page', 'row', 'column', 'col', 'item', 'items', 'list',
    'file', 'date', 'time', 'today']);

function classWords(el) {
    const words = new Set();
    const parts = [el, ...ancestors(el).slice(0, 2), ...[...el.querySelectorAll('*')].slice(0, 30)];
    if (el.shadowRoot) parts.push(...[...el.shadowRoot.querySelectorAll('*')].slice(0, 30));
    for (const part of parts) {
        const cls = part.getAttribute('class') || '';
        for (const w of cls.replace(/([a-z])([A-Z])/g, '$1 $2').toLowerCase().split(/[^a-z0-9]+/)) if (w) words.add(w);
    }
    return words;
}

// The texts the page itself gives the element: what it says, its labels
// and the attributes that name or describe it.
function ownTexts(el) {
    const out = [textOf(el), ...labelsOf(el).map(textOf), referencedText(el, 'aria-labelledby')];
    for (const node of [el, ...el.querySelectorAll('[title], [alt], [aria-label], svg title')]) {
        for (const attr of ['aria-label', 'title', 'alt', 'placeholder', 'value', 'name', 'data-action', 'aria-controls']) {
            const v = node.getAttribute(attr);
            if (v) out.push(v);
        }
        if (node.localName === 'title') out.push(node.textContent);
    }
    if (typeof el.value === 'string') out.push(el.value);
    return fold(out.join(' | ')).replace(/[-_]+/g, ' ');
}

// The first family of a font that draws icons (a stack's fallbacks, such as
// "Segoe UI Symbol", do not count).
const ICON_FONT = /icon|symbol|glyph|awesome|material|feather|remix/i;
const iconFont = el => ICON_FONT.test(String(styleOf(el).fontFamily || '').split(',')[0]);

function checkName(el, name) {
    const words = fold(name).split(/[^\p{L}\p{N}]+/u).filter(Boolean);
    if (!words.length) return null;
    // An icon font draws its ligature word as a glyph.
    const ligature = [el, ...el.querySelectorAll('*')].find(n => fold(n.textContent) === fold(name) && iconFont(n));
    if (ligature) return { category: 'icon ligature', why: `the text of an icon font's glyph in ${describe(ligature)}` };
    if (ownTexts(el).includes(fold(name).replace(/[-_]+/g, ' '))) return null;
    const cls = classWords(el);
    if (!words.every(w => cls.has(w))) return null;
    if (words.every(w => ICON_WORDS.has(w) || ACTED_ON.has(w)) && words.some(w => ICON_WORDS.has(w))) {
        return { category: 'icon or action words of a class', words };
    }
    return { category: 'class words', words };
}

// What a name may hold besides the text a person reads: the case the style
// sheets give the text, the text they add before or after it, and what
// the controls inside it say (an expander's arrow, a filter field).
function namingParts(el) {
    const inside = allElements(el).slice(0, 60);
    const parts = [el, ...labelsOf(el), ...inside];
    const transform = parts.map(n => styleOf(n).textTransform).find(t => t && t !== 'none') || null;
    const generated = [];
    for (const n of parts) {
        for (const pseudo of ['::before', '::after']) {
            const quoted = /^"(.*)"$/.exec(builtins.style.call(window, n, pseudo).content || '');
            if (quoted && quoted[1].trim()) generated.push(quoted[1]);
        }
    }
    const inner = inside.filter(n => n.matches(CONTROL))
        .flatMap(n => [textOf(n), ...['aria-label', 'placeholder', 'title'].map(a => n.getAttribute(a))]).filter(Boolean);
    return { transform, generated, inner };
}

// ---------------------------------------------------------------------------
// What a person can click.

const WIDGET_ROLES = new Set(['button', 'link', 'checkbox', 'radio', 'switch', 'tab', 'menuitem', 'menuitemcheckbox',
    'menuitemradio', 'option', 'treeitem', 'combobox', 'textbox', 'searchbox', 'slider', 'spinbutton']);
const NATIVE = 'a[href], area[href], button, input:not([type=hidden]), select, textarea, summary, audio[controls], video[controls]';
const DELEGATING = new Set(['click', 'mousedown', 'pointerdown']);

const listenerTargets = new Map();
try {
    for (const [target, types] of window.__veskAuditListeners ? window.__veskAuditListeners() : []) listenerTargets.set(target, types);
} catch (e) {
    // the page replaced what the audit installed
}
for (const el of allElements()) {
    for (const type of ['click', 'mousedown', 'pointerdown', 'keydown']) {
        if (el.hasAttribute('on' + type)) listenerTargets.set(el, [...(listenerTargets.get(el) || []), type]);
    }
}

// Elements whose style sheets give a pointer cursor under the pointer only.
function hoverPointers() {
    const found = new Set();
    const roots = [document, ...allElements().filter(e => e.shadowRoot).map(e => e.shadowRoot)];
    const visit = (rules, root) => {
        for (const rule of rules) {
            if (rule.cssRules && !(rule instanceof CSSStyleRule)) visit(rule.cssRules, root);
            else if (rule.styleSheet) visitSheet(rule.styleSheet, root);
            if (!(rule instanceof CSSStyleRule) || !rule.selectorText.includes(':hover') || rule.style.cursor !== 'pointer') continue;
            for (const selector of rule.selectorText.split(',')) {
                if (!selector.includes(':hover')) continue;
                const plain = selector.replace(/:hover/g, '').trim();
                try {
                    for (const el of root.querySelectorAll(/[\s>+~]$/.test(plain) || !plain ? plain + '*' : plain)) found.add(el);
                } catch (e) {
                    // a selector this engine does not take apart
                }
            }
        }
    };
    const visitSheet = (sheet, root) => {
        try {
            visit(sheet.cssRules, root);
        } catch (e) {
            // a sheet of another origin
        }
    };
    for (const root of roots) {
        for (const sheet of [...root.styleSheets, ...(root.adoptedStyleSheets || [])]) visitSheet(sheet, root);
    }
    return found;
}

function isRoot(target) {
    if (!target || target === window || target === document || target.nodeType === 9) return true;
    const el = target.nodeType === 11 ? target.host : target;
    if (!el || el === document.documentElement || el === document.body) return true;
    return contentHolders().every(holder => containsDeep(el, holder));
}

let holders = null;
// Elements that hold the visible text of the page (at most 400 of them).
function contentHolders() {
    if (holders) return holders;
    holders = [];
    const walk = node => {
        for (const child of flatChildren(node)) {
            if (holders.length >= 400) return;
            if (child.nodeType === 3 && /\S/.test(child.data) && child.parentElement &&
                child.parentElement.checkVisibility({ checkVisibilityCSS: true })) holders.push(child.parentElement);
            else if (child.nodeType === 1 && !/^(script|style|template|head)$/.test(child.localName)) walk(child);
        }
    };
    walk(document.body || document.documentElement);
    return holders;
}

// The repeated leaf items (cells, days, short items) inside a listener's
// box: what a listener on the box handles when the page delegates. Each
// maps to the repeated element it is or lies in (one of a run of siblings
// alike).
function leafItems(box) {
    const items = new Map();
    const walk = node => {
        for (const child of flatChildren(node)) {
            if (items.size > 2000) return;
            if (child.nodeType === 1) {
                if (!/^(script|style|template)$/.test(child.localName)) walk(child);
                continue;
            }
            if (child.nodeType !== 3 || !/\S/.test(child.data)) continue;
            const holder = child.parentElement || (child.parentNode && child.parentNode.host);
            if (!holder || items.has(holder)) continue;
            const text = collapse(textOf(holder));
            if (!text || text.length > 40) continue;
            for (let step = holder; step && step !== box && step.nodeType === 1; step = flatParent(step)) {
                if (siblingsOf(step).filter(s => s.localName === step.localName && firstClass(s) === firstClass(step)).length >= 3) {
                    items.set(holder, step);
                    break;
                }
            }
        }
    };
    walk(box.nodeType === 1 && box.shadowRoot ? box.shadowRoot : box);
    return items;
}

const shapeOf = el => `${el.localName}.${firstClass(el)}`;

// An item of a listener's box that sits in a run of its own beside runs
// whose items the list gives, drawn in another shape and without a pointer:
// a header row such as a calendar's weekday names, which the box's
// listener lets be.
function headerRun(item, runs, listedHere) {
    const own = runs.get(item);
    if (!own || styleOf(item).cursor === 'pointer' || styleOf(own.step).cursor === 'pointer') return false;
    const run = flatParent(own.step);
    return [...runs].some(([other, at]) => at.box === own.box && flatParent(at.step) !== run &&
        shapeOf(at.step) !== shapeOf(own.step) && listedHere(other));
}

// A column's header, and one that sorts its column.
const isHeader = el => el.localName === 'th' || el.getAttribute('role') === 'columnheader';
const sorts = el => el.hasAttribute('aria-sort') || /sort/i.test(el.getAttribute('class') || '') ||
    !!el.querySelector('[class*=sort], [aria-sort]');
// A region that scrolls (or a block of code): a tabindex there lets keys
// scroll it, not act.
const scrolls = el => el.localName === 'pre' || /auto|scroll/.test(styleOf(el).overflowY + styleOf(el).overflowX);

function clickables(listed) {
    const signs = new Map();
    const delegated = new Map();  // item -> the cell it lies in
    const runs = new Map();  // item -> {step: the repeated element, box: the listener's}
    const sign = (el, why) => {
        if (!signs.has(el)) signs.set(el, []);
        if (!signs.get(el).includes(why)) signs.get(el).push(why);
    };
    const hovered = hoverPointers();
    for (const el of allElements()) {
        if (el.matches(NATIVE)) sign(el, 'native control');
        else if (el.isContentEditable && !(flatParent(el) && flatParent(el).isContentEditable)) sign(el, 'editable');
        const role = el.getAttribute('role');
        if (role && WIDGET_ROLES.has(role.trim().split(/\s+/)[0])) sign(el, `role ${role}`);
        if (el.hasAttribute('tabindex') && el.tabIndex >= 0) sign(el, 'tabindex');
        const parent = flatParent(el);
        const parentPointer = parent && parent.nodeType === 1 && styleOf(parent).cursor === 'pointer';
        if (!parentPointer && styleOf(el).cursor === 'pointer') sign(el, 'pointer cursor');
        else if (!parentPointer && hovered.has(el)) sign(el, 'pointer cursor under the pointer');
    }
    for (const [target, types] of listenerTargets) {
        if (isRoot(target)) continue;
        const box = target.nodeType === 11 ? target.host : target;
        if (!box || box.nodeType !== 1) continue;
        const items = types.some(t => DELEGATING.has(t)) ? leafItems(target.nodeType === 11 ? target : box) : new Map();
        if (items.size >= 3) {
            for (const [item, step] of items) {
                const cell = [item, ...ancestors(item)].find(a => a === box || isCell(a));
                if (cell && cell !== box && isHeader(cell) && !sorts(cell)) continue;
                delegated.set(item, cell && cell !== box ? cell : item);
                runs.set(item, { step, box });
                sign(item, `one of the items of ${describe(box).split(' ')[0]}, whose ${types.join('/')} listener handles them`);
            }
        } else {
            sign(box, `${types.join('/')} listener`);
        }
    }

    const holdsListed = new Set();
    for (const el of listed) for (const a of [el, ...ancestors(el)]) holdsListed.add(a);
    const inListed = el => [el, ...ancestors(el)].some(a => listed.has(a));
    const inEditor = el => el.isContentEditable && flatParent(el) && flatParent(el).isContentEditable;
    // A label of a listed control: a click on it goes to the control.
    const labels = new Set();
    for (const el of listed) {
        for (const label of labelsOf(el)) labels.add(label);
        const root = el.getRootNode();
        for (const id of (el.getAttribute('aria-labelledby') || '').split(/\s+/).filter(Boolean)) {
            const label = root.getElementById ? root.getElementById(id) : document.getElementById(id);
            if (label) labels.add(label);
        }
    }
    const labelOfListed = el => labels.has(el) || el.localName === 'label' && holdsListed.has(flatParent(el));
    // Something a person sees to click: text, a picture or an icon.
    const showsSomething = el => !!textOf(el) || el.matches(NATIVE) || styleOf(el).backgroundImage !== 'none' ||
        [...el.querySelectorAll('img, svg, canvas, i, [class*=icon]')].some(n => visibility(n, true).ok);
    // Handles a person drags rather than clicks.
    const dragged = el => /resize|move|grab/.test(styleOf(el).cursor);
    // A control both disabled and hidden from assistive technology (a
    // calendar's blank padding cell) is nothing a person clicks.
    const inert = el => el.matches(':disabled') && [el, ...ancestors(el)].some(a => a.getAttribute('aria-hidden') === 'true');
    const listedHere = el => inListed(el) || holdsListed.has(el) || (delegated.has(el) && holdsListed.has(delegated.get(el)));

    const missing = [];
    let covered = 0, counted = 0;
    for (const [el, why] of signs) {
        if (listedHere(el) || inEditor(el) || labelOfListed(el)) continue;
        if (why.length === 1 && why[0] === 'tabindex' && scrolls(el)) continue;
        if (el.localName === 'option' || el.localName === 'optgroup') continue;
        if (!showsSomething(el) || dragged(el) || inert(el)) continue;
        const v = visibility(el, true);
        if (!v.ok) continue;
        counted++;
        const area = v.now && intersect(v.now, viewport());
        if (area) {
            const hit = deepElementFromPoint((area.l + area.r) / 2, (area.t + area.b) / 2);
            if (hit && !containsDeep(el, hit) && !containsDeep(hit, el)) {
                covered++;
                continue;
            }
        }
        const category = why.length === 1 && headerRun(el, runs, listedHere)
            ? 'a run of its own beside the listed items, in another shape and without a pointer (a header row: weekday names)' : null;
        missing.push({ el, why, onScreen: !!area, category });
    }
    // One clickable inside another is one thing to click.
    const missingSet = new Set(missing.map(m => m.el));
    return {
        counted, covered,
        missing: missing.filter(m => !ancestors(m.el).some(a => missingSet.has(a))).map(m => ({
            element: describe(m.el), text: collapse(textOf(m.el)).slice(0, 80), signs: m.why, onScreen: m.onScreen,
            category: m.category,
        })),
    };
}

// ---------------------------------------------------------------------------
// Frames.

function framePath() {
    const path = [];
    for (let w = window; w !== w.top; w = w.parent) {
        let index = -1;
        for (let i = 0; i < w.parent.length; i++) if (w.parent[i] === w) index = i;
        path.unshift(index);
    }
    return path;
}

function frameOwner(index) {
    const child = window.frames[index];
    return allElements().find(el => /^(iframe|frame|object|embed)$/.test(el.localName) && el.contentWindow === child) || null;
}

// Each frame of this document: whether its box shows, and whether a click
// on its middle lands in it.
function frames() {
    const out = [];
    for (let i = 0; i < window.frames.length; i++) {
        const owner = frameOwner(i);
        if (!owner) continue;
        const v = visibility(owner, false);
        const frame = { index: i, owner: describe(owner), visible: v.ok, why: v.why || null };
        if (v.ok) {
            const r = reach(owner, owner, v);
            frame.reachable = r.ok;
            if (!r.ok) frame.why = r.why;
        }
        out.push(frame);
    }
    return out;
}

// ---------------------------------------------------------------------------

// What stands in on the page for a control that is drawn unseen (a pixel
// wide, transparent or clipped): a label that shows, the clickable field
// holding it (the nearest of four above it that shows and takes clicks), or
// the box it lies over nearly whole. The place a person clicks it.
function standIn(el) {
    const label = labelsOf(el).find(l => visibility(l, false).ok);
    if (label) return { by: label, how: 'its label' };
    if (!el.matches('input, select, textarea, [role]') || !el.checkVisibility({ checkVisibilityCSS: true })) return null;
    const clickable = a => styleOf(a).cursor === 'pointer' || listenerTargets.has(a) || (a.hasAttribute('tabindex') && a.tabIndex >= 0) ||
        WIDGET_ROLES.has((a.getAttribute('role') || '').trim().split(/\s+/)[0]);
    const above = ancestors(el).slice(0, 4).filter(a => a !== document.body && a !== document.documentElement);
    const field = above.find(a => clickable(a) && visibility(a, true).ok);
    if (field) return { by: field, how: 'the clickable field holding it' };
    const own = boxOf(el);
    const area = r => r.width * r.height;
    const box = above.slice(0, 3).find(a => visibility(a, true).ok && area(own) >= 0.8 * area(boxOf(a)));
    return box ? { by: box, how: 'the box it lies unseen over' } : null;
}

// One listed element: where it shows (itself, or what stands in for it),
// whether a click reaches it there, its context and its name.
function checkElement(el, item, result) {
    result.element = describe(el);
    let v = visibility(el, false);
    let receiver = el;
    if (!v.ok) {
        const stand = standIn(el);
        const shown = stand && visibility(stand.by, false);
        if (shown && shown.ok) {
            receiver = stand.by;
            result.shownBy = `${stand.how}, ${describe(stand.by)} (itself ${v.why})`;
            v = shown;
        }
    }
    result.visible = { ok: v.ok, why: v.why || null };
    result.reach = v.ok ? reach(el, receiver, v) : { ok: false, why: 'not visible' };
    if (item.context) result.context = checkContext(el, item.context);
    result.name = checkName(el, item.name || '');
    result.naming = namingParts(el);
}

// ---------------------------------------------------------------------------
// Alike lines: whether anything a person reads tells two listed elements of
// one role and name apart. Text of other elements of their kind (the other
// days beside a day) tells nothing; text of their own containers does, and
// in a grid so does the text level with them in their row or column (a
// row drawn in two tables, a handle between two columns).

function textApart(node, kind, keep) {
    if (node.nodeType === 3) return node.data;
    if (node.nodeType === 1) {
        if (kind.has(node) && !containsDeep(node, keep)) return '';
        if (/^(script|style|template|noscript)$/.test(node.localName)) return '';
        if (node.localName !== 'slot' && !node.checkVisibility({ checkVisibilityCSS: true })) return '';
    } else if (node.nodeType !== 11) {
        return '';
    }
    return collapse([...flatChildren(node)].map(child => textApart(child, kind, keep)).join(' '));
}

const inGrid = el => [el, ...ancestors(el)].some(a => isCell(a) || a.localName === 'tr' || a.getAttribute('role') === 'row');
const isGrid = el => el.localName === 'table' || /^(grid|treegrid|table)$/.test(el.getAttribute('role') || '');

// The text level with the element across `scope`: in its row (`row`) or
// in its column.
function bandText(el, scope, kind, row) {
    const line = [el, ...ancestors(el)];
    const r = boxOf(row ? line.find(a => a.localName === 'tr' || a.getAttribute('role') === 'row') || line.find(isCell) || el
        : line.find(isCell) || el);
    const out = [];
    const walk = node => {
        for (const child of flatChildren(node)) {
            if (child.nodeType === 1) {
                if ((kind.has(child) && !containsDeep(child, el)) || /^(script|style|template|noscript)$/.test(child.localName) ||
                    (child.localName !== 'slot' && !child.checkVisibility({ checkVisibilityCSS: true }))) continue;
                walk(child);
            } else if (child.nodeType === 3 && /\S/.test(child.data)) {
                const holder = child.parentElement || child.parentNode.host;
                const h = boxOf(holder);
                const level = row ? (h.top + h.bottom) / 2 >= r.top && (h.top + h.bottom) / 2 <= r.bottom
                    : Math.min(h.right, r.right) - Math.max(h.left, r.left) > 1;
                if (level) out.push(child.data);
            }
        }
    };
    walk(scope);
    return collapse(out.join(' '));
}

function nearestCommon(a, b) {
    const above = new Set([a, ...ancestors(a)]);
    return [b, ...ancestors(b)].find(n => above.has(n)) || document.documentElement;
}

function tellApart(a, b, kind) {
    if (containsDeep(a, b) || containsDeep(b, a)) return { apart: true, by: 'inside', category: 'one control inside the other' };
    const common = nearestCommon(a, b);
    const top = x => [x, ...ancestors(x)].find(n => flatParent(n) === common) || x;
    const ta = textApart(top(a), kind, a), tb = textApart(top(b), kind, b);
    if (ta !== tb) return { apart: true, by: 'containers', category: 'their containers\' text tells them apart', texts: [ta, tb] };
    if (!inGrid(a) && !inGrid(b)) return { apart: false };
    // The grid they lie in, or the nearest container above them with text.
    const above = [common, ...ancestors(common)].filter(n => n !== document.body && n !== document.documentElement);
    const scope = above.find(n => isGrid(n) && textApart(n, kind, a)) || above.find(n => textApart(n, kind, a)) || common;
    for (const [by, row] of [['row', true], ['column', false]]) {
        const ra = bandText(a, scope, kind, row), rb = bandText(b, scope, kind, row);
        if (ra !== rb) return { apart: true, by, category: `their ${by} tells them apart`, texts: [ra, rb] };
    }
    return { apart: false };
}

// For each pair of listed elements whose lines are alike, or of one role and
// name where one is placed by its own date, whether they are told apart.
function judgeAlike(found) {
    const kinds = new Map();
    for (const { el, item } of found) {
        const key = `${item.role}\n${el.localName}`;
        if (!kinds.has(key)) kinds.set(key, new Set());
        kinds.get(key).add(el);
    }
    const groups = new Map();
    for (const entry of found) {
        const key = `${entry.item.role}\n${entry.item.name}`;
        if (!groups.has(key)) groups.set(key, []);
        groups.get(key).push(entry);
    }
    const lineOf = item => String(item.line || '').replace(/^\[[^\]]*\] /, '');
    for (const group of groups.values()) {
        for (let i = 0; i < group.length && i < 40; i++) {
            for (let j = i + 1; j < group.length && j < 40; j++) {
                const [x, y] = [group[i], group[j]];
                const dated = x.result.context?.ownDate || y.result.context?.ownDate;
                if (lineOf(x.item) !== lineOf(y.item) && !dated) continue;
                const kind = new Set([...(kinds.get(`${x.item.role}\n${x.el.localName}`) || []),
                    ...(kinds.get(`${y.item.role}\n${y.el.localName}`) || [])]);
                let verdict;
                try {
                    verdict = tellApart(x.el, y.el, kind);
                } catch (e) {
                    verdict = { error: String(e && e.message || e) };
                }
                (x.result.alike ||= {})[y.item.ref] = verdict;
                (y.result.alike ||= {})[x.item.ref] = verdict;
            }
        }
    }
}

// ---------------------------------------------------------------------------

const scrolled = { x: window.scrollX, y: window.scrollY };
const listed = new Set();
const results = {};
const foundHere = [];
for (const item of args.elements || []) {
    let found = [];
    try {
        found = item.selector ? queryAllDeep(item.selector) : [];
    } catch (e) {
        // a selector this engine does not read
    }
    const el = found[0];
    const result = { found: !!el, matches: found.length };
    results[item.ref] = result;
    if (!el) continue;
    listed.add(el);
    foundHere.push({ el, item, result });
    try {
        checkElement(el, item, result);
    } catch (e) {
        result.error = String(e && e.message || e);
    }
}
judgeAlike(foundHere);

const clickable = clickables(listed);
const framesHere = frames();
window.scrollTo(scrolled.x, scrolled.y);
return {
    path: framePath(),
    url: location.href,
    viewport: { width: innerWidth, height: innerHeight },
    elements: results,
    clickable,
    frames: framesHere,
};
})
