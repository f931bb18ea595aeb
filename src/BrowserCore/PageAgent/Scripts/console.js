// Console capture: posts the main frame's console output and uncaught errors
// on the "console" channel. Installed at document start, main frame only, in
// the page's world, before any script of the page runs.
(() => {
    // The posting function the web process gives a main frame, taken before
    // any page script runs so that none can post with it.
    const send = typeof window.__veskConsole === 'function' ? window.__veskConsole : null;
    delete window.__veskConsole;
    if (!send) return;

    const show = (value) => {
        try {
            if (typeof value === 'string') return value;
            if (value instanceof Error) return String(value);
            const json = JSON.stringify(value);
            return json === undefined ? String(value) : json;
        } catch (e) {
            try {
                return String(value);
            } catch (e2) {
                return '[unprintable]';
            }
        }
    };

    const tell = (level, text) => {
        try {
            send({ level, text: text.slice(0, 2000) });
        } catch (e) {
            // Never disturb the page's own console call.
        }
    };

    for (const level of ['log', 'warn', 'error']) {
        const original = console[level];
        console[level] = function (...args) {
            let text = null;
            try {
                text = args.map(show).join(' ');
            } catch (e) {
                // The page changed the array methods; its own call still goes through.
            }
            if (text !== null) tell(level, text);
            return original.apply(this, args);
        };
    }

    window.addEventListener('error', (event) => {
        let text = 'Uncaught ' + show(event.message);
        if (event.filename) text += ' (' + event.filename + ':' + event.lineno + ')';
        tell('error', text);
    });

    window.addEventListener('unhandledrejection', (event) => {
        tell('error', 'Unhandled promise rejection: ' + show(event.reason));
    });
})();
