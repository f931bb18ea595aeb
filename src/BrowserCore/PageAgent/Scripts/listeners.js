// Listener notes: which elements the page's own script gave a listener of the
// events a person's click or key sets off (click, mousedown, pointerdown,
// keydown). Installed at document start in every frame of the page's world,
// before any page script, where it sees the page's addEventListener. The page
// agent, in a world of its own, shares only the document with this one: it
// dispatches an event of a type the session made up for this run on the
// document, and this script answers with an event of the related type on each
// element it noted since it last answered, which the agent keeps. A page that
// forges such an answer only adds to the list.
(() => {
    const type = '@VESK_NOTE_TYPE@';
    if (type.startsWith('@')) return;
    const ask = type + ':ask', note = type + ':note-';

    // The engine's own functions, taken before any page script can replace them.
    const target = EventTarget.prototype;
    const add = target.addEventListener;
    const dispatch = target.dispatchEvent;
    const EventOf = Event;
    const targetOf = Object.getOwnPropertyDescriptor(Event.prototype, 'target').get;
    const ElementOf = Element, ShadowRootOf = ShadowRoot;
    const hostOf = Object.getOwnPropertyDescriptor(ShadowRoot.prototype, 'host').get;
    const connected = Object.getOwnPropertyDescriptor(Node.prototype, 'isConnected').get;
    const Ref = WeakRef;
    const deref = WeakRef.prototype.deref;

    // What a listener of each type answers: a click (or the press that
    // starts one), or a key.
    const KINDS = new Map([['click', 'click'], ['mousedown', 'click'], ['pointerdown', 'click'], ['keydown', 'key']]);
    const seen = { click: new WeakSet(), key: new WeakSet() };
    let unsent = [];
    let kept = 64;   // the list is swept of collected elements when it grows past this

    const remember = (holder, kind) => {
        // A listener on a component's shadow root is one on its box.
        const el = holder instanceof ShadowRootOf ? hostOf.call(holder) : holder;
        if (!(el instanceof ElementOf) || seen[kind].has(el)) return;
        seen[kind].add(el);
        unsent.push({ ref: new Ref(el), kind });
        if (unsent.length > kept) {
            unsent = unsent.filter(entry => deref.call(entry.ref));
            kept = Math.max(64, unsent.length * 2);
        }
    };

    const wrapped = function addEventListener(eventType, listener, options) {
        try {
            const kind = listener ? KINDS.get(String(eventType)) : undefined;
            if (kind) remember(this, kind);
        } catch (e) {
            // Noting never stands in the way of the page's own call.
        }
        return add.call(this, eventType, listener, options);
    };
    target.addEventListener = wrapped;

    // A handler set as a property (el.onclick = …) is a listener too.
    for (const proto of [HTMLElement.prototype, SVGElement.prototype]) {
        for (const [eventType, kind] of KINDS) {
            const name = 'on' + eventType;
            const property = Object.getOwnPropertyDescriptor(proto, name);
            if (!property || !property.set || !property.configurable) continue;
            const set = property.set;
            Object.defineProperty(proto, name, Object.assign({}, property, {
                set(handler) {
                    try {
                        if (typeof handler === 'function') remember(this, kind);
                    } catch (e) {
                        // as above
                    }
                    return set.call(this, handler);
                },
            }));
        }
    }

    // An element not in the document yet reaches no one: it waits for the
    // next answer.
    add.call(window, ask, event => {
        if (targetOf.call(event) !== document) return;
        const waiting = [];
        for (const entry of unsent) {
            const el = deref.call(entry.ref);
            if (!el) continue;
            if (connected.call(el)) dispatch.call(el, new EventOf(note + entry.kind, { composed: true }));
            else waiting.push(entry);
        }
        unsent = waiting;
    }, true);
})();
