// agent-mcp driven by the official MCP TypeScript SDK client, on a private
// desktop (run inside tools/desktop-session): the handshake, the tool list,
// a real call of every tool, whose answer the client checks against the
// tool's output schema, effects that the GTK fixture reports, failing calls.
//
// Usage: node client.mjs AGENT_MCP FIXTURE
import { spawn, execFileSync } from "node:child_process";
import { createInterface } from "node:readline";
import assert from "node:assert/strict";

import { Client } from "@modelcontextprotocol/sdk/client/index.js";
import { StdioClientTransport } from "@modelcontextprotocol/sdk/client/stdio.js";
import { McpError } from "@modelcontextprotocol/sdk/types.js";

const [agentMcp, fixturePath] = process.argv.slice(2);
if (!agentMcp || !fixturePath) {
  console.error("usage: client.mjs AGENT_MCP FIXTURE");
  process.exit(2);
}

// Bounds at least ten times what they take on a quiet machine; waits poll.
const START_WAIT_MS = 120_000;
const CALL_TIMEOUT_MS = 120_000;

const OPERATIONS = ["permissions", "request_permission", "apps", "frontmost", "windows", "at", "display",
  "focus_info", "mouse", "drag", "type", "key", "scroll", "activate", "launch", "ax_tree", "ax_press_at",
  "ax_press", "ax_focus", "ax_info", "ax_set", "screenshot", "ax_find", "ax_wait"];
const QUERIES = ["permissions", "apps", "frontmost", "windows", "at", "display", "focus_info", "ax_tree",
  "ax_info", "screenshot", "ax_find", "ax_wait"];

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

async function poll(what, probe) {
  const end = Date.now() + START_WAIT_MS;
  for (;;) {
    const value = await probe();
    if (value) return value;
    if (Date.now() > end) throw new Error(`timed out waiting for ${what}`);
    await sleep(100);
  }
}

// The GTK fixture: its JSON event lines, kept in order.
function startFixture() {
  const proc = spawn(fixturePath, [], { stdio: ["pipe", "pipe", "inherit"] });
  const events = [];
  createInterface({ input: proc.stdout }).on("line", (line) => {
    try { events.push(JSON.parse(line)); } catch { events.push({ event: "unreadable", line }); }
  });
  return { proc, events };
}

const client = new Client({ name: "agent-mcp-sdk-test", version: "1.0.0" });
// The whole environment: the display and the session's buses are in it.
const transport = new StdioClientTransport({ command: agentMcp, args: [], env: { ...process.env }, stderr: "pipe" });
let stderr = "";
transport.stderr.on("data", (chunk) => { stderr += chunk; });

const fixture = startFixture();
const call = (name, args = {}) => client.callTool({ name, arguments: args }, undefined, { timeout: CALL_TIMEOUT_MS });
const text = (result) => result.content.filter((c) => c.type === "text").map((c) => c.text).join("");

try {
  await client.connect(transport, { timeout: CALL_TIMEOUT_MS });
  assert.equal(client.getServerVersion().name, "agent-mcp");
  assert.deepEqual(client.getServerCapabilities().tools, {});
  await client.ping();

  // The list: one tool per operation, each with schemas and annotations.
  const { tools } = await client.listTools();
  assert.deepEqual(tools.map((t) => t.name), OPERATIONS);
  for (const tool of tools) {
    assert.equal(tool.inputSchema.type, "object", tool.name);
    assert.equal(tool.outputSchema?.type, "object", tool.name);
    assert.ok(tool.description.length > 0 && tool.description.length <= 300, tool.name);
    assert.equal(tool.annotations.readOnlyHint, QUERIES.includes(tool.name), tool.name);
    assert.equal(tool.annotations.destructiveHint, false, tool.name);
  }

  // The display, against the X server's own account of the root window.
  const display = await call("display");
  assert.ok(!display.isError, text(display));
  const root = execFileSync("xwininfo", ["-root"], { encoding: "utf8" });
  const width = Number(/Width: (\d+)/.exec(root)[1]);
  const height = Number(/Height: (\d+)/.exec(root)[1]);
  assert.deepEqual(display.structuredContent, { x: 0, y: 0, w: width, h: height });
  assert.deepEqual(JSON.parse(text(display)), display.structuredContent);

  // The fixture's window, once it is listed and its elements can be read.
  const ready = await poll("the fixture's ready line", () => fixture.events.find((e) => e.event === "ready"));
  const window = await poll("the fixture's window in the list", async () => {
    const r = await call("windows");
    return r.structuredContent.windows.find((w) => w.pid === ready.pid);
  });
  assert.equal(window.title, ready.title);
  const apps = await call("apps");
  assert.ok(apps.structuredContent.apps.some((a) => a.pid === ready.pid), text(apps));
  const hit = await call("at", { x: window.bounds.x + window.bounds.w / 2, y: window.bounds.y + window.bounds.h / 2 });
  assert.equal(hit.structuredContent.windowId, window.id);
  await call("frontmost");
  await call("focus_info", { pid: ready.pid });
  await call("permissions");

  const tree = await poll("the fixture's accessibility tree", async () => {
    const r = await call("ax_tree", { pid: ready.pid, depth: 4, max: 100 });
    return r.structuredContent.elements.some((e) => e.title === "Press me") && r.structuredContent;
  });
  const button = tree.elements.find((e) => e.title === "Press me");
  const found = await call("ax_find", { pid: ready.pid, role: "AXButton", title: "press ME", fields: ["actions"] });
  assert.deepEqual(found.structuredContent.elements.map((e) => e.id), [button.id]);
  assert.equal(found.structuredContent.elements[0].actions, undefined);
  const waited = await call("ax_wait", { pid: ready.pid, title: "Press me", timeout: 100 });
  assert.equal(waited.structuredContent.met, true);
  const info = await call("ax_info", { pid: ready.pid, path: button.id });
  assert.equal(info.structuredContent.role, "AXButton");
  const wrong = await call("ax_press", { pid: ready.pid, path: button.id, expect: { title: "Cancel" } });
  assert.equal(text(wrong), "That element is gone. Read ui_tree again. (stale_element)");
  const pressed = await call("ax_press", { pid: ready.pid, path: button.id, expect: { role: "AXButton", title: "Press me" } });
  assert.deepEqual(pressed.structuredContent, { ok: true });
  await poll("the fixture's click", () => fixture.events.some((e) => e.event === "clicked"));
  const center = { x: button.frame.x + button.frame.w / 2, y: button.frame.y + button.frame.h / 2 };
  const pressedAt = await call("ax_press_at", { pid: ready.pid, ...center });
  assert.deepEqual(pressedAt.structuredContent, { ok: true, role: "AXButton" });
  await poll("the fixture's second click", () => fixture.events.filter((e) => e.event === "clicked").length === 2);

  // The entry: focused, set and typed into, as the fixture reports; the
  // password field refuses a value.
  const entryText = () => fixture.events.filter((e) => e.event === "text" && e.entry === "entry").at(-1)?.text;
  const entry = tree.elements.find((e) => e.title === "Name entry");
  const password = tree.elements.find((e) => e.secure === true);
  assert.deepEqual((await call("activate", { pid: ready.pid })).structuredContent, { ok: true });
  assert.deepEqual((await call("ax_focus", { pid: ready.pid, path: entry.id })).structuredContent, { ok: true });
  await poll("focus on the entry", () => fixture.events.some((e) => e.event === "focus" && e.widget === "entry"));
  await poll("the entry's focus on the accessibility bus",
    async () => (await call("focus_info", { pid: ready.pid })).structuredContent.role === "AXTextField");
  assert.deepEqual((await call("ax_set", { pid: ready.pid, path: entry.id, value: "set" })).structuredContent,
    { ok: true });
  await poll("the value set", () => entryText() === "set");
  assert.deepEqual((await call("type", { text: "typed", pid: ready.pid })).structuredContent, { ok: true });
  await poll("the typed text", () => entryText()?.includes("typed"));
  const refused = await call("ax_set", { pid: ready.pid, path: password.id, value: "x" });
  assert.equal(refused.isError, true);
  assert.equal(text(refused), "That is a password field (secure_field)");

  // The other input tools answer, in the shape their schemas give.
  for (const [name, args] of [["key", { code: 56, mods: ["shift"] }], ["mouse", { ...center, kind: "move" }],
    ["scroll", { ...center, dy: 1 }], ["drag", { from: center, to: { x: center.x + 5, y: center.y } }],
    ["request_permission", { kind: "accessibility" }]]) {
    assert.deepEqual((await call(name, args)).structuredContent, { ok: true }, name);
  }
  const launch = await call("launch", { bundleId: "org.example.NoSuchApplication" });
  assert.equal(text(launch), "Could not open that app (open_failed)");

  // A screenshot of the window: an image item holding a PNG of the size the
  // structured answer gives, and no image data in the structured answer.
  const shot = await call("screenshot", { windowId: window.id, maxWidth: 200 });
  assert.ok(!shot.isError, text(shot));
  const image = shot.content.find((c) => c.type === "image");
  assert.equal(image.mimeType, "image/png");
  const png = Buffer.from(image.data, "base64");
  assert.equal(png.subarray(1, 4).toString("latin1"), "PNG");
  assert.equal(png.readUInt32BE(16), shot.structuredContent.width);
  assert.equal(png.readUInt32BE(20), shot.structuredContent.height);
  assert.equal(shot.structuredContent.width, 200);
  assert.equal(shot.structuredContent.png, undefined);
  assert.deepEqual(JSON.parse(text(shot)), shot.structuredContent);

  // Failures: a tool error the model can read, and a protocol error.
  const missing = await call("ax_tree", {});
  assert.equal(missing.isError, true);
  assert.equal(text(missing), "Missing app (bad_args)");
  const noWindow = await call("screenshot", { windowId: 1 });
  assert.equal(noWindow.isError, true);
  assert.equal(text(noWindow), "No such window (bad_args)");
  await assert.rejects(call("no_such_tool"), (e) => e instanceof McpError && e.code === -32602);

  // Still serving after both.
  assert.ok(!(await call("display")).isError);
} finally {
  await client.close();
  fixture.proc.kill();
}
assert.equal(stderr, "");
console.log(`ok: ${OPERATIONS.length} tools listed, each called and its answer checked`);
