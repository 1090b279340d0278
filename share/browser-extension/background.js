// Knokle's side in the browser: a native-messaging port to Knokle's host, which asks for the open tabs and
// for some of them to be closed. The matching itself is done by Knokle, so every browser follows one rule.
const api = globalThis.browser ?? globalThis.chrome;
const hostName = "org.knokle.tabs";
let retryDelay = 1000;

async function answer(message) {
    const reply = { id: message.id };
    try {
        if (message.list) {
            const tabs = await api.tabs.query({});
            reply.tabs = tabs.map((tab) => ({ id: tab.id, url: tab.url || tab.pendingUrl || "" }));
        } else if (Array.isArray(message.close)) {
            // A tab closed meanwhile is simply not counted.
            const results = await Promise.allSettled(message.close.map((id) => api.tabs.remove(id)));
            reply.closed = results.filter((result) => result.status === "fulfilled").length;
        } else {
            reply.error = "unknown request";
        }
    } catch (error) {
        reply.error = String(error?.message ?? error);
    }
    return reply;
}

function connect() {
    const port = api.runtime.connectNative(hostName);
    port.onMessage.addListener(async (message) => {
        retryDelay = 1000;
        port.postMessage(await answer(message));
    });
    port.onDisconnect.addListener(() => {
        // The host is missing or ended: try again later, less often each time.
        setTimeout(connect, retryDelay);
        retryDelay = Math.min(retryDelay * 2, 60000);
    });
}

api.runtime.onStartup.addListener(() => {}); // wakes this script when the browser starts
connect();
