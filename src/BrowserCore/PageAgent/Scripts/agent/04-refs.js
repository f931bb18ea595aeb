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

