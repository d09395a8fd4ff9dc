// The browser tests of the web runner: headless Chromium opens pages that `korvane build --web`
// wrote, served from this machine's loopback, and what they show and print is compared with
// the native runner's headless runs of the same games.
//
//   node tests/web/browser-tests.mjs --korvane build/src/app/korvane --work DIR
//
// Needs playwright-core (found through NODE_PATH) and Chromium at /usr/bin/chromium (or
// CHROMIUM). The native korvane finds the web runner as `korvane build --web` does.
import { execFileSync, spawnSync } from "node:child_process";
import fs from "node:fs";
import path from "node:path";
import { korvane, launchChromium, option, serve, source, workFolder } from "./site.mjs";

const work = workFolder("build-web/browser-tests");
const only = option("--only", "");
const site = path.join(work, "site");
fs.mkdirSync(site);

const run = (args, cwd = work) => {
  const r = spawnSync(korvane, args, { cwd, encoding: "utf8" });
  if (r.error) throw r.error;
  return r;
};
const build = (what, name) => {
  const r = run(["build", what, "--web", "-o", path.join(site, name)]);
  if (r.status !== 0) throw new Error(`korvane build --web ${what}: ${r.stderr}`);
};

// The site folder on a free loopback port; pages may start sound without a click first (the
// sound test listens).
const { server, origin } = await serve(site);
const browser = await launchChromium(["--autoplay-policy=no-user-gesture-required"]);

// A page with what it prints collected; `state` waits for the page's data-state.
const open = async (context, url) => {
  const page = await context.newPage();
  page.lines = [];
  page.on("console", (m) => page.lines.push(m.text()));
  page.on("pageerror", (e) => page.lines.push("page error: " + e.message));
  await page.goto(origin + url);
  return page;
};
const state = (page, wanted, timeout = 60000) =>
  page.waitForFunction((w) => w.includes(document.body.dataset.state), wanted, { timeout });
const pause = (ms) => new Promise((r) => setTimeout(r, ms));
// A key pressed for a few frames, then a few frames before the next.
const press = async (page, key) => {
  await page.keyboard.down(key);
  await pause(150);
  await page.keyboard.up(key);
  await pause(150);
};
const gameLines = (lines) => lines.filter((l) => /^(x=|saved |loading)/.test(l));

const tests = {
  // The page of examples/bounce after N steps shows what the native headless run shows then.
  async bounce() {
    const steps = 45;
    build(path.join(source, "examples/bounce"), "bounce");
    const shot = path.join(site, "bounce", "native.png");
    const r = run(["run", "--headless", "--seed", "1", "--max-steps", String(steps),
                   "--screenshot", `${steps - 1}=${shot}`, path.join(source, "examples/bounce")]);
    if (r.status !== 0) throw new Error("native run failed: " + r.stderr);
    const context = await browser.newContext();
    const page = await open(context, `/bounce/?steps=${steps}&seed=1`);
    await state(page, ["ended"]);
    const result = await page.evaluate(async () => {
      const game = document.getElementById("canvas");
      const image = new Image();
      image.src = "native.png";
      await image.decode();
      const pixels = (source, w, h) => {
        const c = document.createElement("canvas");
        c.width = w, c.height = h;
        const g = c.getContext("2d");
        g.drawImage(source, 0, 0);
        return g.getImageData(0, 0, w, h).data;
      };
      if (image.width !== game.width || image.height !== game.height)
        return { size: `${game.width}x${game.height} against ${image.width}x${image.height}` };
      const a = pixels(game, game.width, game.height);
      const b = pixels(image, image.width, image.height);
      let worst = 0, off = 0;
      for (let i = 0; i < a.length; i += 4) {
        const d = Math.max(Math.abs(a[i] - b[i]), Math.abs(a[i + 1] - b[i + 1]),
                           Math.abs(a[i + 2] - b[i + 2]));
        worst = Math.max(worst, d);
        if (d > 8) off++;
      }
      return { worst, off, pixels: a.length / 4 };
    });
    await context.close();
    if (result.size) throw new Error("the canvas is " + result.size);
    // Rounding in another graphics stack may move a colour by a few steps; nothing more.
    if (result.worst > 8)
      throw new Error(`${result.off} of ${result.pixels} pixels differ by more than 8 ` +
                      `(at most ${result.worst})`);
    return `${result.pixels} pixels, the largest difference ${result.worst}`;
  },

  // Keys pressed on the page move the square as the same keys replayed natively do; the game
  // saved on the page is there after a reload.
  async keysAndSaves() {
    const project = path.join(source, "tests/web/keysave");
    build(project, "keysave");
    const replay = path.join(work, "keys.txt");
    fs.writeFileSync(replay, ["2 key down vk_right", "3 key up vk_right",
                              "5 key down vk_right", "6 key up vk_right",
                              "8 key down vk_left", "9 key up vk_left",
                              "11 key down vk_enter", "12 key up vk_enter", ""].join("\n"));
    const native = fs.mkdtempSync(path.join(work, "native-"));
    const r = run(["run", "--headless", "--max-steps", "60", "--input", replay, project], native);
    const expected = gameLines(r.stdout.split("\n"));
    if (expected.length !== 4) throw new Error("the native run printed " + r.stdout);

    const context = await browser.newContext();
    let page = await open(context, "/keysave/");
    await state(page, ["running"]);
    for (const key of ["ArrowRight", "ArrowRight", "ArrowLeft", "Enter"]) await press(page, key);
    await state(page, ["ended"]);
    const got = gameLines(page.lines);
    if (JSON.stringify(got) !== JSON.stringify(expected))
      throw new Error(`the page printed ${JSON.stringify(got)}, natively ${JSON.stringify(expected)}`);

    // The same browser profile after a reload: the saved game comes back from IndexedDB.
    await page.close();
    page = await open(context, "/keysave/");
    await state(page, ["running"]);
    await press(page, "Enter");
    await state(page, ["ended"]);
    const again = gameLines(page.lines);
    const want = ["loading", expected[expected.length - 1]];
    await context.close();
    if (JSON.stringify(again) !== JSON.stringify(want))
      throw new Error(`after the reload the page printed ${JSON.stringify(again)}, not ${JSON.stringify(want)}`);
    return `${got.join(", ")}; reloaded: ${again.join(", ")}`;
  },

  // Without IndexedDB the game runs all the same, its files in memory, and the page says once
  // that saving is not available.
  async noIndexedDb() {
    build(path.join(source, "tests/web/keysave"), "keysave");
    const context = await browser.newContext();
    await context.addInitScript(() =>
      Object.defineProperty(window, "indexedDB", { get: () => undefined }));
    const page = await open(context, "/keysave/");
    await state(page, ["running"]);
    for (const key of ["ArrowRight", "Enter"]) await press(page, key);
    await state(page, ["ended"]);
    const got = gameLines(page.lines);
    const warnings = await page.$$eval(".message", (m) => m.map((e) => e.textContent));
    await context.close();
    if (JSON.stringify(got) !== JSON.stringify(["x=48", "saved x=48"]))
      throw new Error("the page printed " + JSON.stringify(got));
    if (warnings.length !== 1 || !warnings[0].includes("Saving is not available"))
      throw new Error("the page shows " + JSON.stringify(warnings));
    return warnings[0];
  },

  // What a page cannot do (a native library, a program) fails with an error that says so, and
  // the game goes on.
  async limits() {
    build(path.join(source, "tests/web/limits"), "limits");
    const context = await browser.newContext();
    const page = await open(context, "/limits/");
    await state(page, ["ended"]);
    await context.close();
    const said = page.lines.join("\n");
    for (const want of ["still running", "a web page cannot load native libraries"])
      if (!said.includes(want)) throw new Error(`the page did not print "${want}": ${said}`);
    return page.lines.find((l) => l.includes("native libraries"));
  },

  // A game that plays a sound has sound on the page: no "No sound device" message, and the
  // page's audio gets frames that are not silence.
  async sound() {
    build(path.join(source, "tests/web/sound"), "sound");
    const context = await browser.newContext();
    const page = await open(context, "/sound/");
    await state(page, ["ended"]);
    const shown = await page.$eval("#messages", (m) => m.textContent);
    const audio = await page.evaluate(() => ({
      frames: Module.korvaneAudioFrames, peak: Module.korvaneAudioPeak }));
    await context.close();
    if (shown.includes("No sound device")) throw new Error("the page shows " + shown);
    if (!page.lines.includes("playing=1")) throw new Error("the game said " + page.lines);
    // The tone is a square wave of amplitude 0.56.
    if (!(audio.frames > 44100 / 2) || !(audio.peak > 0.5 && audio.peak < 0.6))
      throw new Error(`the page's audio got ${audio.frames} frames, peak ${audio.peak}`);
    return `${audio.frames} frames, peak ${audio.peak.toFixed(3)}`;
  },

  // Sound files other than WAV are decoded by the browser: an Ogg Vorbis tone loops on the
  // page. MIDI, which a page cannot play, says so once on the console and stays silent.
  async ogg() {
    build(path.join(source, "tests/web/ogg"), "ogg");
    const context = await browser.newContext();
    const page = await open(context, "/ogg/");
    await state(page, ["ended"]);
    const audio = await page.evaluate(() => ({
      frames: Module.korvaneAudioFrames, peak: Module.korvaneAudioPeak }));
    await context.close();
    if (!page.lines.includes("ogg=1 midi=0")) throw new Error("the game said " + page.lines);
    const midi = page.lines.filter((l) => l.includes("cannot play MIDI"));
    if (midi.length !== 1) throw new Error("MIDI was reported " + midi.length + " times");
    // A sine of amplitude 0.5, through a lossy encoding.
    if (!(audio.frames > 44100 / 2) || !(audio.peak > 0.4 && audio.peak < 0.65))
      throw new Error(`the page's audio got ${audio.frames} frames, peak ${audio.peak}`);
    return `${audio.frames} frames, peak ${audio.peak.toFixed(3)}; ${midi[0]}`;
  },

  // A damaged game file gives on the page the message the native runner gives.
  async damagedGame() {
    const game = path.join(work, "damaged.game");
    const r0 = run(["build", path.join(source, "tests/web/keysave"), "--data-only", "-o", game]);
    if (r0.status !== 0) throw new Error(r0.stderr);
    const bytes = fs.readFileSync(game);
    fs.writeFileSync(game, bytes.subarray(0, Math.floor(bytes.length * 0.6)));
    const native = run(["run", "--headless", "--max-steps", "5", game]);
    const said = native.stderr.trim().split("\n").filter((l) => l && !l.startsWith("korvane:"));
    if (native.status === 0 || said.length === 0)
      throw new Error("the native run took the damaged game: " + native.stderr);
    build(game, "damaged");
    const context = await browser.newContext();
    const page = await open(context, "/damaged/damaged.game".replace("damaged.game", ""));
    await state(page, ["ended"]);
    const shown = await page.$eval("#messages", (m) => m.textContent);
    await context.close();
    for (const line of said) {
      const text = line.replace(/^[^:]*: /, "");
      if (!shown.includes(text)) throw new Error(`the page shows "${shown}", natively "${line}"`);
    }
    return shown;
  },
};

let passed = 0, failed = 0;
for (const [name, test] of Object.entries(tests)) {
  if (only && name !== only) continue;
  try {
    const detail = await test();
    passed++;
    console.log(`ok   ${name}${detail ? ": " + detail : ""}`);
  } catch (error) {
    failed++;
    console.log(`FAIL ${name}: ${error.message}`);
  }
}
await browser.close();
server.close();
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed ? 1 : 0);
