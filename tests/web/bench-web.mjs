// The web runner's speed beside the native runner's: steps per second on the shared workloads
// e_instances (10,000 instances, one update pass a step) and g_sprites (1,000 sprites drawn a
// step), each run flat out: natively in a window drawn off screen, on the page with ?fast=1 in
// headless Chromium. The games are made from the workload files; each prints its steps per
// second after a warm-up. Nothing here is a test: it prints figures.
//
//   node tests/web/bench-web.mjs [--korvane build/src/app/korvane] [--runs 3] [--work DIR]
//
// Needs the web runner (scripts/build-web), playwright-core through NODE_PATH, and the shared
// workloads in $KR_SHARED_BENCH (by default ../shared/bench beside the source tree).
import { spawnSync } from "node:child_process";
import fs from "node:fs";
import path from "node:path";
import { korvane, launchChromium, option, serve, source, workFolder } from "./site.mjs";

const runs = Number(option("--runs", "3"));
const work = workFolder("build-web/bench");
const shared = process.env.KR_SHARED_BENCH || path.join(source, "../shared/bench");

// ---- The games, as text projects.
const write = (file, text) => {
  fs.mkdirSync(path.dirname(file), { recursive: true });
  fs.writeFileSync(file, text);
};
const codeEvent = (type, file) =>
  `[[event]]\ntype = "${type}"\n\n[[event.action]]\nlibrary = 1\nid = 603\nkind = "code"\n` +
  `execute = "code"\ncode = "${file}"\n\n`;
// One room of 640x480 with one obj_bench, whose events run the given code; `others` are
// objects with no events.
const project = (name, events, sprite, others = []) => {
  const dir = path.join(work, name);
  write(path.join(dir, "game.toml"),
        `format = 1\ngame_id = 2905\nroom_order = ["room_bench"]\n\n[settings]\n` +
        `show_progress_bar = false\ndisplay_errors = true\n\n[resources]\n` +
        (sprite ? `sprites = ["spr_ball"]\n` : "") +
        `objects = ${JSON.stringify(["obj_bench", ...others])}\nrooms = ["room_bench"]\n`);
  for (const other of others) write(path.join(dir, `objects/${other}.toml`), `name = "${other}"\n`);
  if (sprite) {
    write(path.join(dir, "sprites/spr_ball.toml"),
          `name = "spr_ball"\nx_origin = 0\ny_origin = 0\nframes = ["spr_ball/0.png"]\n`);
    fs.mkdirSync(path.join(dir, "sprites/spr_ball"), { recursive: true });
    fs.copyFileSync(path.join(shared, "assets/spr_ball.png"), path.join(dir, "sprites/spr_ball/0.png"));
  }
  let toml = `name = "obj_bench"\n\n`;
  for (const [type, code] of Object.entries(events)) {
    write(path.join(dir, `objects/obj_bench/${type}.krs`), code);
    toml += codeEvent(type, `obj_bench/${type}.krs`);
  }
  write(path.join(dir, "objects/obj_bench.toml"), toml);
  write(path.join(dir, "rooms/room_bench.toml"),
        `name = "room_bench"\nwidth = 640\nheight = 480\nspeed = 30\n` +
        `background_color = ${26 + 26 * 256 + 51 * 65536}\nshow_background_color = true\n` +
        `instances = [\n  { x = 0, y = 0, object = "obj_bench", id = 100001 },\n]\n`);
  return dir;
};
// The code of a workload file by section ("// ---- obj_bench: Draw event ----").
const sections = (file) => {
  const out = {};
  let current = null;
  for (const line of fs.readFileSync(file, "utf8").split("\n")) {
    const m = /^\/\/ ---- obj_bench: (\w+) event ----/.exec(line);
    if (m) current = m[1].toLowerCase();
    else if (current) out[current] = (out[current] || "") + line + "\n";
  }
  return out;
};
// Counts the steps of 3 seconds after half a second's warm-up, then prints them per second.
const timing = `
var now;
now = current_time;
if (global.t_meas < 0) {
    if (now - global.t_start >= 500) { global.t_meas = now; global.frames = 0; }
} else {
    global.frames += 1;
    if (now - global.t_meas >= 3000) {
        show_debug_message("steps=" + string(global.frames) + " fps="
            + string(global.frames * 1000 / (now - global.t_meas)));
        game_end();
    }
}
`;
const games = {};
{
  // e_instances: its creation loop in the Create event, one pass of its update loop a step.
  const text = fs.readFileSync(path.join(shared, "ours/e_instances.txt"), "utf8");
  const start = text.indexOf("repeat (100) {");
  const body = text.indexOf("{", start) + 1;
  let depth = 1, end = body;
  while (depth > 0) depth += { "{": 1, "}": -1 }[text[end++]] || 0;
  const setup = "global.t_start = current_time;\nglobal.t_meas = -1;\nglobal.frames = 0;\n" +
                "room_speed = 1000000;\nset_synchronization(false);\n";
  games.e_instances = project("e_instances", {
    create: setup + text.slice(0, start),
    step: text.slice(body, end - 1) + timing,
  }, false, ["obj_ball"]);
  // g_sprites as written (1,000 sprites), measuring as it does.
  const g = sections(path.join(shared, "ours/g_sprites.txt"));
  games.g_sprites = project("g_sprites", g, true);
}

// ---- The native side: a window drawn off screen, as the drawing benchmarks run.
const rate = (text) => {
  const m = /fps=([0-9.]+)/.exec(text);
  return m ? Number(m[1]) : NaN;
};
const native = (dir) => {
  const r = spawnSync(korvane, ["run", dir], {
    encoding: "utf8",
    env: { ...process.env, SDL_VIDEODRIVER: "offscreen", SDL_AUDIODRIVER: "dummy" },
  });
  return rate(r.stdout + r.stderr);
};

// ---- The web side: the page served from this machine, flat out.
const site = path.join(work, "site");
for (const [name, dir] of Object.entries(games)) {
  const r = spawnSync(korvane, ["build", dir, "--web", "-o", path.join(site, name)], { encoding: "utf8" });
  if (r.status !== 0) throw new Error(`korvane build --web ${dir}: ${r.stderr}`);
}
const { server, origin } = await serve(site);
const browser = await launchChromium();
const web = async (name) => {
  const context = await browser.newContext();
  const page = await context.newPage();
  const lines = [];
  page.on("console", (m) => lines.push(m.text()));
  await page.goto(`${origin}/${name}/?fast=1`);
  await page.waitForFunction(() => document.body.dataset.state === "ended", null, { timeout: 120000 });
  await context.close();
  return rate(lines.join("\n"));
};

console.log("workload     run  native steps/s  web steps/s  native/web");
for (let run = 1; run <= runs; run++) {
  for (const [name, dir] of Object.entries(games)) {
    const n = native(dir), w = await web(name);
    console.log(`${name.padEnd(12)} ${String(run).padStart(3)} ${n.toFixed(1).padStart(15)} ` +
                `${w.toFixed(1).padStart(12)} ${(n / w).toFixed(2).padStart(11)}`);
  }
}
await browser.close();
server.close();
