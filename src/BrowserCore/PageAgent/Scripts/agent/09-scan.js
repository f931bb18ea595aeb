// ---------------------------------------------------------------------------
// Listing helpers shared by scan, find and locator.

function namedItems(items, onlyRole) {
    for (const item of items) {
        if (onlyRole !== undefined && item.role !== onlyRole) continue;
        if (item.name === undefined) item.name = itemName(item);
    }
    return items;
}

const itemName = item => accessibleName(item.el, item.generic) || (item.icon ? iconWords(item.el) : '');

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

    // Context for elements that repeat or are named by a symbol alone (the
    // row or item they act on), and for choices within a group.
    const counts = new Map();
    for (const item of walk.items) {
        const key = item.role + '\u0000' + item.name;
        counts.set(key, (counts.get(key) || 0) + 1);
    }

    const elements = [], onScreen = [];
    const memo = memoizer();
    const roles = new Map(walk.items.map(item => [item.el, item.role]));
    for (const item of walk.items) {
        const n = refFor(item.el, floor);
        remember(n, item.role, item.name);
        const ambiguous = counts.get(item.role + '\u0000' + item.name) > 1 || symbolsOnly(item.name);
        let context = '';
        if (item.icon && !item.name) {
            context = placeOf(item.el);
        } else if (ambiguous || GROUPED_ROLES.has(item.role)) {
            context = contextOf(item.el, item.name, !ambiguous, memo, roles);
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

