// Runs first in the page's own world of every frame of an audited page and
// notes which targets page script gives a listener for the events that act on
// a press (click, mousedown, pointerdown, keydown), through addEventListener
// or an on… property. The audit's checks read the notes through
// __veskAuditListeners(), one [target, types] pair for each target that
// still has such a listener. It also keeps, for the checks, the page's
// built-ins they measure with, as they were before any page script could
// replace them (__veskAuditBuiltins).
(() => {
    'use strict';
    if (Object.prototype.hasOwnProperty.call(window, '__veskAuditListeners')) return;
    const PRESS_EVENTS = ['click', 'mousedown', 'pointerdown', 'keydown'];
    const watched = new Set(PRESS_EVENTS);
    Object.defineProperty(window, '__veskAuditBuiltins', {
        enumerable: false,
        value: Object.freeze({ rect: Element.prototype.getBoundingClientRect, style: window.getComputedStyle }),
    });

    // target -> Map(type -> Set(listener)); a WeakMap cannot be listed, so
    // the targets are also kept by weak reference.
    const notes = new WeakMap();
    const targets = [];

    function note(target, type, listener) {
        let byType = notes.get(target);
        if (!byType) {
            byType = new Map();
            notes.set(target, byType);
            targets.push(new WeakRef(target));
        }
        if (!byType.has(type)) byType.set(type, new Set());
        byType.get(type).add(listener);
    }

    function unnote(target, type, listener) {
        const listeners = notes.get(target)?.get(type);
        if (listeners) listeners.delete(listener);
    }

    const add = EventTarget.prototype.addEventListener;
    const remove = EventTarget.prototype.removeEventListener;
    EventTarget.prototype.addEventListener = function (type, listener, options) {
        if (listener && watched.has(String(type))) note(this, String(type), listener);
        return add.call(this, type, listener, options);
    };
    EventTarget.prototype.removeEventListener = function (type, listener, options) {
        if (listener && watched.has(String(type))) unnote(this, String(type), listener);
        return remove.call(this, type, listener, options);
    };

    // The on… properties of elements: a handler set through them counts as a
    // listener until it is cleared. (Those of the document and the window do
    // not count: everything on the page lies in them.)
    for (const proto of [HTMLElement.prototype, SVGElement.prototype]) {
        for (const type of PRESS_EVENTS) {
            const descriptor = Object.getOwnPropertyDescriptor(proto, 'on' + type);
            if (!descriptor || !descriptor.set) continue;
            Object.defineProperty(proto, 'on' + type, {
                configurable: true,
                enumerable: descriptor.enumerable,
                get: descriptor.get,
                set(value) {
                    const old = descriptor.get.call(this);
                    if (old) unnote(this, type, old);
                    if (typeof value === 'function') note(this, type, value);
                    descriptor.set.call(this, value);
                },
            });
        }
    }

    Object.defineProperty(window, '__veskAuditListeners', {
        enumerable: false,
        value() {
            const out = [];
            for (const ref of targets) {
                const target = ref.deref();
                const byType = target && notes.get(target);
                if (!byType) continue;
                const types = [...byType].filter(([, set]) => set.size).map(([type]) => type);
                if (types.length) out.push([target, types]);
            }
            return out;
        },
    });
})();
