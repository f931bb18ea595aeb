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

