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
// draw) the description of an icon: its words, else the side of the text it
// stands beside, that text becoming its context (`place`). A field that
// lies unseen over its box and has no name is named by what the box shows.
function itemName(item) {
    const name = accessibleName(item.el, item.generic, item.skip) || (item.box ? cut(collapse(visibleText(item.proxy)), NAME_LIMIT) : '');
    const glyph = glyphsOnly(name);
    if (glyph) item.icon = true;
    else if (name || !(item.icon || ICON_ROLES.has(item.role))) return name;
    item.described = true;
    const words = iconWords(item.el);
    if (words || !item.icon) return words;
    item.place = placeOf(item.el);
    return item.place ? item.place.side : '';
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
    const contexts = walk.items.map(item => {
        if (item.place) return item.place.text;
        const ambiguous = counts.get(keyOf(item)) > 1 || symbolsOnly(item.name) || (item.described && !item.name);
        if (!ambiguous && !GROUPED_ROLES.has(item.role)) return '';
        const context = contextOf(item.el, item.name, !ambiguous, memo, roles);
        return context === item.name ? '' : context;
    });
    tellApart(walk.items, contexts, counts, keyOf);

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

// Elements of one role and name whose contexts are all the same are not
// told apart by them: each takes instead, for a day of a calendar, the month
// of the date it stands for, or, when described as an icon, the text beside
// it; where these do not differ either, none.
function tellApart(items, contexts, counts, keyOf) {
    const groups = new Map();
    for (const [i, item] of items.entries()) {
        if (counts.get(keyOf(item)) < 2) continue;
        const group = groups.get(keyOf(item));
        if (group) group.push(i);
        else groups.set(keyOf(item), [i]);
    }
    for (const group of groups.values()) {
        if (group.some(i => contexts[i] !== contexts[group[0]])) continue;
        const instead = group.map(i => {
            const item = items[i];
            if (/^\d{1,2}$/.test(item.name)) return monthOf(item.el);
            return item.described ? (item.place || placeOf(item.el) || { text: '' }).text : '';
        });
        const differ = instead.some(t => t !== instead[0]);
        for (const [k, i] of group.entries()) contexts[i] = differ ? instead[k] : '';
    }
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

