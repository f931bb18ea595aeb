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
    // A field that its wrapper types into is found as that wrapper.
    const own = items.find(i => i.el === el || i.field === el);
    const role = own ? own.role : roleOf(el) || 'generic';
    const name = own ? itemName(own) : accessibleName(el, !WIDGET_ROLES.has(role));
    let index = 0;
    for (const item of items) {
        if (item === own || item.el === el) break;
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
        const el = found.find(e => visibility(e) || standInFor(e));
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

