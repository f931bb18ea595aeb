// Request watcher: counts the pending fetch and XMLHttpRequest requests of
// this document (for the quiet-network wait) and posts each request that
// ended on the "network" channel. Installed at document start in every frame
// of the page's world, so it sees the page's own fetch and XMLHttpRequest.
(() => {
    // The posting function the web process gives this frame, taken before
    // any page script runs so that none can post with it. The session learns
    // from the web process, not from here, which frame and page it came from.
    const send = typeof window.__veskNetwork === 'function' ? window.__veskNetwork : null;
    delete window.__veskNetwork;

    const key = Symbol.for('Vesk.requests');
    if (key in window) return;

    const urlLimit = 2000;
    let watched = { pending: 0, last: null };

    // Counts a request in the counters in place now; the end function works
    // once and always on those same counters, so a request that began before
    // the last watch() never touches the new ones.
    const begin = () => {
        const counters = watched;
        counters.pending += 1;
        counters.last = performance.now();
        let ended = false;
        return () => {
            if (ended) return;
            ended = true;
            counters.pending -= 1;
            counters.last = performance.now();
        };
    };

    const report = (method, url, started, status, error) => {
        try {
            if (!send) return;
            send({
                method: String(method).toUpperCase(),
                url: String(url).slice(0, urlLimit),
                status: status === undefined ? null : status,
                error: error === undefined ? null : error,
                ms: Math.round(performance.now() - started),
            });
        } catch (e) {
            // Reporting never disturbs the page's request.
        }
    };

    const absolute = (target) => {
        try {
            return new URL(target, location.href).href;
        } catch (e) {
            return String(target);
        }
    };

    const failure = (error) => {
        const name = error && error.name;
        if (name === 'AbortError') return 'aborted';
        if (name === 'TimeoutError') return 'timed out';
        return 'network error';
    };

    Object.defineProperty(window, key, {
        value: {
            watch() {
                watched = { pending: 0, last: null };
            },
            state() {
                return {
                    pending: watched.pending,
                    idleMs: watched.last === null ? null : performance.now() - watched.last,
                };
            },
        },
    });

    if (window.fetch) {
        const originalFetch = window.fetch;
        window.fetch = function (...args) {
            const end = begin();
            const started = performance.now();
            let method = 'GET';
            let url = '';
            try {
                const input = args[0];
                const options = args[1];
                if (options && options.method !== undefined && options.method !== null) {
                    method = options.method;
                } else if (input instanceof Request) {
                    method = input.method;
                }
                url = input instanceof Request ? input.url : absolute(input);
            } catch (e) {
                // Method and URL stay as they are; the request itself goes ahead.
            }
            let promise;
            try {
                promise = originalFetch.apply(this, args);
            } catch (e) {
                end();
                throw e;
            }
            return promise.then(
                (response) => {
                    end();
                    report(method, url, started, response.status, null);
                    return response;
                },
                (error) => {
                    end();
                    report(method, url, started, null, failure(error));
                    throw error;
                });
        };
    }

    const opened = new WeakMap();
    const originalOpen = XMLHttpRequest.prototype.open;
    XMLHttpRequest.prototype.open = function (...args) {
        try {
            opened.set(this, { method: String(args[0]), url: absolute(args[1]) });
        } catch (e) {
            // The request is opened all the same, and reported without a method and URL.
        }
        return originalOpen.apply(this, args);
    };

    const originalSend = XMLHttpRequest.prototype.send;
    XMLHttpRequest.prototype.send = function (...args) {
        const end = begin();
        const started = performance.now();
        const target = opened.get(this);
        let error = null;
        // A send that throws (for instance a second send of a request under
        // way) must leave its listeners inert, or the request it did not start
        // would be reported twice.
        let live = true;
        const once = { once: true };
        try {
            this.addEventListener('error', () => { error = 'network error'; }, once);
            this.addEventListener('abort', () => { error = 'aborted'; }, once);
            this.addEventListener('timeout', () => { error = 'timed out'; }, once);
            this.addEventListener('loadend', () => {
                if (!live) return;
                end();
                if (target) report(target.method, target.url, started, error === null ? this.status : null, error);
            }, once);
            return originalSend.apply(this, args);
        } catch (e) {
            live = false;
            end();
            throw e;
        }
    };
})();
