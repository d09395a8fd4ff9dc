// What the browser tests and the web benchmark share: their command-line options, a static
// server for the folder of pages `korvane build --web` wrote, and headless Chromium.
import fs from "node:fs";
import http from "node:http";
import path from "node:path";
import { createRequire } from "node:module";

const require = createRequire(import.meta.url);
const { chromium } = require("playwright-core");

// The source tree (two folders up from here).
export const source = path.resolve(path.dirname(new URL(import.meta.url).pathname), "../..");

// The value after `--name` on the command line, or `fallback`.
export const option = (name, fallback) => {
  const i = process.argv.indexOf(name);
  return i > 0 && i + 1 < process.argv.length ? process.argv[i + 1] : fallback;
};

// The native program: --korvane, or the one the native build made.
export const korvane = path.resolve(option("--korvane", path.join(source, "build/src/app/korvane")));

// The work folder (--work, else `fallback` under the source tree), emptied.
export const workFolder = (fallback) => {
  const work = path.resolve(option("--work", path.join(source, fallback)));
  fs.rmSync(work, { recursive: true, force: true });
  fs.mkdirSync(work, { recursive: true });
  return work;
};

// Serves `site` on a free loopback port, nothing outside it and nothing cached; gives the server
// and its origin.
export const serve = async (site) => {
  const types = { ".html": "text/html", ".js": "text/javascript", ".wasm": "application/wasm",
                  ".png": "image/png" };
  const server = http.createServer((req, res) => {
    const url = new URL(req.url, "http://localhost");
    let file = path.join(site, decodeURIComponent(url.pathname));
    if (!file.startsWith(site)) { res.writeHead(403).end(); return; }
    if (fs.existsSync(file) && fs.statSync(file).isDirectory()) file = path.join(file, "index.html");
    if (!fs.existsSync(file)) { res.writeHead(404).end(); return; }
    res.writeHead(200, { "Content-Type": types[path.extname(file)] || "application/octet-stream",
                         "Cache-Control": "no-store" });
    fs.createReadStream(file).pipe(res);
  });
  await new Promise((resolve) => server.listen(0, "127.0.0.1", resolve));
  return { server, origin: `http://127.0.0.1:${server.address().port}` };
};

// Headless Chromium (/usr/bin/chromium, or $CHROMIUM) drawing in software, with no traffic of
// its own; `args` adds to its switches.
export const launchChromium = (args = []) =>
  chromium.launch({
    executablePath: process.env.CHROMIUM || "/usr/bin/chromium",
    args: ["--no-sandbox", "--disable-gpu", "--use-angle=swiftshader", "--enable-unsafe-swiftshader",
           "--disable-quic", "--no-first-run", "--disable-background-networking",
           "--disable-component-update", "--disable-sync", ...args],
  });
