// ---------------------------------------------------------------------------
// Listing helpers shared by scan, find and locator.

function namedItems(items, onlyRole) {
    for (const item of items) {
        if (onlyRole !== undefined && item.role !== onlyRole) continue;
        if (item.name === undefined) item.name = itemName(item);
    }
    return items;
}

// Controls that show an icon where they carry no name.
const ICON_ROLES = new Set(['button', 'menuitem', 'tab']);

// An element's name, or for one that has none (nothing, or only glyphs that
// draw) the description of an icon, which may be empty. A field that lies
// unseen over its box and has no name is named by what the box shows.
function itemName(item) {
    const name = accessibleName(item.el, item.generic, item.skip) || (item.box ? cut(collapse(visibleText(item.proxy)), NAME_LIMIT) : '');
    const glyph = glyphsOnly(name);
    if (glyph) item.icon = true;
    else if (name || !(item.icon || ICON_ROLES.has(item.role))) return name;
    item.described = true;
    return iconWords(item.el);
}

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

    // Context for elements that repeat or are named by a symbol alone or not
    // at all (the row or item they act on), and for choices within a group.
    const counts = new Map();
    const keyOf = item => item.role + '\u0000' + item.name;
    for (const item of walk.items) counts.set(keyOf(item), (counts.get(keyOf(item)) || 0) + 1);

    const memo = memoizer();
    const roles = new Map(walk.items.map(item => [item.el, item.role]));
    const names = new Map(walk.items.map(item => [item.el, item.name]));
    const contexts = walk.items.map(item => {
        const ambiguous = counts.get(keyOf(item)) > 1 || symbolsOnly(item.name) || (item.described && !item.name);
        if (!ambiguous && !GROUPED_ROLES.has(item.role)) return '';
        const context = contextOf(item.el, item.name, !ambiguous, memo, roles, names);
        return context === item.name ? '' : context;
    });
    tellApart(walk.items, contexts, counts, keyOf, memo, roles, names);

    const elements = [], onScreen = [];
    for (const [i, item] of walk.items.entries()) {
        const n = refFor(item.el, floor);
        remember(n, item.role, item.name);
        const context = contexts[i];
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
    // Where this frame lies and which frames of its own it hides: a frame's
    // document cannot tell that the page hid the frame, so the session
    // leaves out the elements of a frame that a frame above it hides.
    try {
        reply.path = framePath();
    } catch (e) { /* a frame already taken out of the page */ }
    reply.hiddenFrames = hiddenFrames();
    reply.lastRef = lastRef;
    reply.frame = frameId();
    reply.loadedFrom = loadedFrom;
    forgetCollected();
    return reply;
}

// The frames of this document that it does not show (their element, or
// what holds it, is hidden): their indexes among the window's frames.
function hiddenFrames() {
    const hidden = [];
    if (!window.frames.length) return hidden;
    const owners = frameElements(document);
    for (let i = 0; i < window.frames.length; i++) {
        const child = window.frames[i];
        const owner = owners.find(el => {
            try {
                return el.contentWindow === child;
            } catch (e) {
                return false;
            }
        });
        if (owner && !visibility(owner)) hidden.push(i);
    }
    return hidden;
}

// Elements of one role, name and context are told apart by the nearest
// text of their own containers that differs: for a day of a calendar the
// month of the date it stands for, else a container's label, the name of
// the one field it holds or the text at its head (an editor's label, a
// month's header), or a cell's column header. Where none differs, a context
// that all of the role and name share says nothing and is left out.
function tellApart(items, contexts, counts, keyOf, memo, roles, names) {
    const groups = new Map();
    for (const [i, item] of items.entries()) {
        if (counts.get(keyOf(item)) < 2) continue;
        const key = keyOf(item) + '\u0000' + contexts[i];
        const group = groups.get(key);
        if (group) group.push(i);
        else groups.set(key, [i]);
    }
    for (const group of groups.values()) {
        if (group.length < 2) continue;
        const captions = group.map(i => captionsAbove(items[i], memo, roles, names));
        // How many of the group each text could place: one that not all of
        // them share tells some apart.
        const shared = new Map();
        for (const list of captions) {
            for (const t of new Set(list)) shared.set(t, (shared.get(t) || 0) + 1);
        }
        const own = captions.map(list => list.find(t => shared.get(t) < group.length));
        const told = own.some(Boolean);
        const whole = group.length === counts.get(keyOf(items[group[0]]));
        for (const [k, i] of group.entries()) {
            // One that stays alike with another is placed by its nearest
            // container, where others are told apart.
            if (own[k]) contexts[i] = own[k];
            else if (told) contexts[i] = captions[k][0] || '';
            else if (whole) contexts[i] = '';
        }
    }
}

// The texts that could place an element, nearest first.
function captionsAbove(item, memo, roles, names) {
    const found = [];
    if (DAY_NAME.test(item.name)) {
        const month = monthOf(item.el);
        if (month) found.push(month);
    }
    let node = flatParent(item.el);
    for (let depth = 0; node && node.nodeType === 1 && depth < 12; depth++, node = flatParent(node)) {
        if (node.localName === 'body' || node.localName === 'html') break;
        if (CELL_ROLES.has(explicitRole(node) || '') || node.localName === 'td') {
            const header = memo(node, 'column', () => columnHeaderOf(node, memo));
            if (header) found.push(cut(header, CONTEXT_LIMIT));
        }
        const head = memo(node, 'head', () => headOf(node, memo, roles, names));
        if (head) found.push(head);
    }
    return found;
}

// What names a container: its label, else the name of the one field it
// holds (a number field's buttons), else the text at its head, the first
// part of it that shows text, unless that is a listed element (one of the
// container's own items: then the container has no head).
function headOf(node, memo, roles, names) {
    const label = collapse(node.getAttribute('aria-label') ||
        referencedElements(node, 'aria-labelledby').map(r => visibleText(r)).join(' '));
    if (label) return label;
    if (memo(node, 'size', () => node.getElementsByTagName('*').length) <= 60) {
        const fields = Array.from(node.querySelectorAll('input, select, textarea, [role], [contenteditable]'))
            .filter(f => FIELD_ROLES.has(roles.get(f)));
        if (fields.length === 1 && names.get(fields[0])) return names.get(fields[0]);
    }
    for (const child of flatChildren(node)) {
        if (child.nodeType === 3) {
            const text = collapse(child.data);
            if (text) return text.length <= 60 ? text : '';
            continue;
        }
        if (child.nodeType !== 1 || SKIP_TAGS.has(child.localName)) continue;
        if (roles.has(child)) return '';
        if (!child.checkVisibility({ opacityProperty: true, visibilityProperty: true })) continue;
        const text = collapse(visibleText(child, null, n => roles.has(n)));
        if (text) return text.length <= 60 ? text : '';
    }
    return '';
}

// The month of the date a day of a calendar stands for, as the page writes
// it ("2027-02" of data-date="2027-02-28"), from the element, what holds it
// or a date inside it; '' when none is written.
const DATE_VALUE = /^(\d{4}-\d{2})(?:-\d{2})?(?:$|T)/;
function monthOf(el) {
    const inside = el.querySelector('[datetime], [data-date]');
    const nodes = inside ? [el, inside] : [el];
    for (let node = flatParent(el), depth = 0; node && node.nodeType === 1 && depth < 3; node = flatParent(node), depth++) {
        nodes.push(node);
    }
    for (const node of nodes) {
        for (const attr of node.attributes) {
            const m = DATE_VALUE.exec(attr.value);
            if (m) return m[1];
        }
    }
    return '';
}

// ---------------------------------------------------------------------------
// probe

function probe(args) {
    if (typeof args.selector === 'string') {
        const matches = queryOrFail(args.selector, 'probe');
        if (!matches.length) return 'missing';
        return matches.some(el => visibility(el) || standInFor(el)) ? 'found' : 'hidden';
    }
    if (typeof args.text === 'string') {
        const wanted = collapse(args.text);
        if (!wanted) return 'found';
        const text = collapse(walkPage({ text: true }).text);
        return text.includes(wanted) ? 'found' : 'missing';
    }
    fail(null, 'probe needs a "text" or a "selector" argument.');
}

