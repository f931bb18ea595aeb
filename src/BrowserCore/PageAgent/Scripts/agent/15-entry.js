// ---------------------------------------------------------------------------
// The entry point.

const COMMANDS = {
    scan, probe, locator, find, click, hover, hovered, framePath, frameOffset, focusFrame, origin, fill, select, press,
    scroll, typed, status, focused,
};

function envelope(ok, value) {
    const reply = { ok };
    if (value !== undefined) reply.value = value;
    return toJSON(reply);
}

function failure(e, command) {
    const reply = { ok: false };
    if (e instanceof AgentFailure) {
        if (e.code) reply.code = e.code;
        if (e.message) reply.message = e.message;
    } else {
        const text = e && typeof e === 'object' ? (e.message || e.name || '') : String(e ?? '');
        if (text) reply.message = `The page agent failed on ${command}: ${text}`;
    }
    return toJSON(reply);
}

function call(command, args) {
    const name = String(command);
    labelMaps = new Map();
    const handler = Object.prototype.hasOwnProperty.call(COMMANDS, name) ? COMMANDS[name] : null;
    if (!handler) {
        return failure(new AgentFailure(null, `The page agent has no command ${quote(name)}.`), name);
    }
    let result;
    try {
        result = handler(args && typeof args === 'object' ? args : {});
    } catch (e) {
        return failure(e, name);
    }
    if (result && typeof result.then === 'function') {
        return result.then(value => envelope(true, value), e => failure(e, name));
    }
    return envelope(true, result);
}

Object.defineProperty(globalThis, '__agent', {
    value: Object.freeze({ call }),
    writable: false, enumerable: false, configurable: false,
});

// Announce the frame: on every new document, and again when the document
// comes back from the back/forward cache, since the session forgot its frames.
// This world's view of the frame's location is its own; page scripts cannot
// change what it reads. The session takes the frame's id and whether it is
// a main frame from the web process.
function announce() {
    post('frame', JSON.stringify({ id: frameId(), main: window === window.top, origin: documentOrigin() }));
}
announce();
window.addEventListener('pageshow', e => {
    if (e.persisted) announce();
}, true);
})();
