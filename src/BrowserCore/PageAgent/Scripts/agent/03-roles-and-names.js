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

// Whether a person acts on an element that is no control by its role: it
// holds a state only something operated has (expanded, pressed, selected),
// or it is a header that sorts its column, or a grid cell that takes the
// focus or a selection or that the page names for a person (a calendar's
// day, whose clicks a listener on the grid answers).
function operatedByState(el, role) {
    if (el.hasAttribute('aria-expanded') || el.hasAttribute('aria-pressed') || el.hasAttribute('aria-selected')) return true;
    if (role === 'columnheader' || role === 'rowheader') return el.hasAttribute('aria-sort');
    return role === 'gridcell' && (el.hasAttribute('tabindex') || authorNamed(el));
}

const authorNamed = el => /\S/.test(el.getAttribute('aria-label') || '') || el.hasAttribute('aria-labelledby');

// Operated elements that stay listed while they hold controls of their own:
// a header that sorts holds its filter field, a named day holds its events.
// What a person clicks on them is their title, not what they hold.
const holdsOwnTitle = (el, role) => role === 'columnheader' || role === 'rowheader' ||
    (role === 'gridcell' && authorNamed(el));

// A name of symbols alone ("✖", "×", "🗑") says what an element does, not
// what it does it to.
const symbolsOnly = name => !!name && !/[\p{L}\p{N}]/u.test(name);

// Characters that draw rather than say: an icon font's private-use glyphs,
// quotation marks and guillemets drawn as chevrons, bullets, ornamental
// brackets, box drawing. A name of these alone names nothing.
const GLYPHS = /^[\s\p{Co}\p{Pi}\p{Pf}\u00b7\u2022\u2023\u2027\u2043\u2219\u25e6\u2500-\u259f\u2768-\u2775\u200b-\u200d\ufe0e\ufe0f]+$/u;
const glyphsOnly = name => !!name && GLYPHS.test(name);

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
    case 'th':
        return el.getAttribute('scope') === 'row' ? 'rowheader' : 'columnheader';
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

// Whether an element's text stands apart from the text beside it: a block,
// a cell, an inline block do; inline content does not.
function standsApart(el) {
    if (BLOCK_TAGS.has(el.localName)) return true;
    const display = styleOf(el).display;
    return display !== 'inline' && display !== 'contents';
}

function hiddenForName(el) {
    if (el.getAttribute('aria-hidden') === 'true') return true;
    if (el.checkVisibility({ visibilityProperty: true })) return false;
    return styleOf(el).display !== 'contents';
}

// `fromContent` names an element that has no role of its own (a clickable
// generic element) by its content, as a person reads it: the text it shows,
// or, when it shows none, what its images and icons are called; the parts of
// it in `skip` (a popup it holds) are left out.
function accessibleName(el, fromContent, skip) {
    const c = { root: el, recursing: false, labelledBy: false, hiddenOk: false, fromContent: !!fromContent,
        ownItems: ITEM_ROLES.has(roleOf(el)), skip };
    let name = fromContent ? trimDrawn(collapse(nameOf(el, { ...c, shown: true }))) : '';
    if (!name) name = trimDrawn(collapse(nameOf(el, c)));
    if (!name) name = collapse(pseudoText(el, '::before') + pseudoText(el, '::after'));
    if (!name && !fromContent) {
        const role = roleOf(el);
        if (WRAPPER_ROLES.has(role)) name = wrappedFieldName(el);
        if (!name && FIELD_ROLES.has(role)) name = fieldWrapperLabel(el);
    }
    return cut(name, NAME_LIMIT);
}

// Items of a collection, whose content may hold a collection of their own
// (a tree's open folder its files): that is not part of their name.
const ITEM_ROLES = new Set(['treeitem', 'menuitem', 'menuitemcheckbox', 'menuitemradio', 'option']);
const NESTED_COLLECTIONS = new Set(['group', 'tree', 'menu', 'listbox']);

// Arrows, triangles and other shapes that draw at the edge of a name (a
// folder's "▾", a "›" after a link's words) say nothing a person reads.
const DRAWN = '[\\s\\p{Co}\\p{Pi}\\p{Pf}\\u00b7\\u2022\\u2190-\\u21ff\\u2500-\\u25ff\\u2794-\\u27bf\\u2b00-\\u2bff\\ufe0e\\ufe0f]+';
const DRAWN_EDGES = new RegExp(`^${DRAWN}|${DRAWN}$`, 'gu');
function trimDrawn(name) {
    const trimmed = name.replace(DRAWN_EDGES, '');
    return /[\p{L}\p{N}]/u.test(trimmed) ? trimmed : name;
}

// Roles of a component's wrapper around the field it types into.
const WRAPPER_ROLES = new Set(['textbox', 'searchbox', 'combobox', 'spinbutton']);

// The name of a field that a component draws inside a wrapper of its own:
// the label the wrapper holds (the one screen readers are given, the one
// tied to the field inside first), else the field's own name.
function wrappedFieldName(el) {
    const field = typingTarget(el);
    let chosen = null, tied = null;
    for (const label of el.getElementsByTagName('label')) {
        const own = !!label.control && containsDeep(el, label.control);
        if (own && !tied) tied = label;
        if (closestDeep(label, n => n.getAttribute('aria-hidden') === 'true' || n === el) !== el) continue;
        if (!chosen || (own && !(chosen.control && containsDeep(el, chosen.control)))) chosen = label;
    }
    chosen = chosen || tied;
    if (chosen) {
        const text = collapse(nameOf(chosen, { root: el, recursing: true, labelledBy: false, hiddenOk: hiddenForName(chosen) }));
        if (text) return text;
    }
    return field && field !== el ? accessibleName(field) : '';
}

// Controls that a form field's label names.
const FIELD_ROLES = new Set(['textbox', 'searchbox', 'combobox', 'listbox', 'spinbutton', 'slider', 'checkbox',
    'radio', 'switch']);
// Fields that a label could name; a button beside a field (show the
// password, clear it) has a name of its own and takes no label.
const FIELDS = 'input:not([type=hidden]):not([type=button]):not([type=submit]):not([type=reset]):not([type=image]), ' +
    'select, textarea, [contenteditable=""], [contenteditable=true], ' + [...FIELD_ROLES].map(r => `[role=${r}]`).join(', ');

// The label of the field a control lies in, for a control that nothing
// names: component libraries draw a wrapper around one label and one
// control, the label a sibling that neither `for` nor aria-labelledby
// ties to it. The nearest wrapper with a label decides; one with more than
// one label, or another field that shows, names nothing.
function fieldWrapperLabel(el) {
    let node = flatParent(el);
    for (let depth = 0; node && node.nodeType === 1 && depth < 5; depth++, node = flatParent(node)) {
        const tag = node.localName;
        if (tag === 'body' || tag === 'html' || tag === 'form' || tag === 'fieldset') return '';
        const labels = node.getElementsByTagName('label');
        if (!labels.length) {
            if (node.getElementsByTagName('*').length > 60) return '';
            continue;
        }
        const label = labels[0];
        if (labels.length > 1 || label.control || containsDeep(label, el) || !label.checkVisibility()) return '';
        const root = label.getRootNode();
        if (label.id && root.querySelector && root.querySelector(`[aria-labelledby~="${CSS.escape(label.id)}"]`)) return '';
        for (const other of node.querySelectorAll(FIELDS)) {
            if (containsDeep(el, other) || containsDeep(other, el) || !other.checkVisibility()) continue;
            return '';
        }
        return collapse(visibleText(label));
    }
    return '';
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
    if (c.skip && c.skip.has(el)) return '';

    // Naming by what shows, a part counts by its text alone.
    if (c.shown && el !== c.root) return contentName(el, c);

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

// The value of a control that sits inside another element's label. A
// password field adds nothing: what it holds is never part of a name,
// however the page wraps or labels it.
function embeddedValue(el, role) {
    const tag = el.localName;
    if (tag === 'select') {
        return Array.from(el.selectedOptions, o => o.label || o.text).join(' ');
    }
    if (tag === 'input' && /^(button|submit|reset|image|checkbox|radio|file|hidden)$/.test(el.type)) return null;
    if (isSecret(el)) return '';
    if (tag === 'input' || tag === 'textarea') return el.value;
    if (role === 'textbox' || role === 'searchbox') return el.textContent;
    if (role === 'slider' || role === 'spinbutton') {
        return el.getAttribute('aria-valuetext') || el.getAttribute('aria-valuenow') || '';
    }
    return null;
}

// A label names its control with what shows of it; a label that is hidden
// itself names it with all it holds.
function labelsName(el, c) {
    const labels = labelsOf(el);
    if (!labels.length) return '';
    return collapse(labels.map(label => nameOf(label, {
        root: c.root, recursing: true, labelledBy: false, hiddenOk: c.hiddenOk || hiddenForName(label),
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
    const tag = el.localName;
    if (tag === 'textarea' || tag === 'select' || tag === 'input') {
        return c.shown && tag === 'input' && /^(button|submit|reset)$/.test(el.type) ? el.value : '';
    }
    const inner = { root: c.root, recursing: true, labelledBy: c.labelledBy, hiddenOk: c.hiddenOk, shown: c.shown,
        ownItems: c.ownItems, skip: c.skip };
    let text = '';
    for (const child of flatChildren(el)) {
        if (child.nodeType === 3) {
            text += child.data;
        } else if (child.nodeType === 1) {
            // A line break parts the words on either side of it.
            if (child.localName === 'br') {
                text += ' ';
                continue;
            }
            if (c.ownItems && nestedCollection(child)) continue;
            const part = nameOf(child, inner);
            text += part && standsApart(child) ? ' ' + part + ' ' : part;
        }
    }
    return text;
}

// A collection of items inside an item, or an item of its own there.
function nestedCollection(el) {
    const role = el.hasAttribute('role') ? explicitRole(el) : null;
    return role ? NESTED_COLLECTIONS.has(role) || ITEM_ROLES.has(role) : el.localName === 'ul' || el.localName === 'ol';
}

// Text that CSS puts before or after an element (content: "…"); icon-font
// glyphs in the private use area mean nothing to read.
function pseudoText(el, which) {
    const content = getComputedStyle(el, which).content;
    if (!content || content === 'none' || content === 'normal') return '';
    const strings = content.match(/"(?:[^"\\]|\\.)*"/g);
    if (!strings) return '';
    return strings.map(s => s.slice(1, -1).replace(/\\(.)/g, '$1')).join('')
        .replace(/\p{Co}/gu, '');
}

