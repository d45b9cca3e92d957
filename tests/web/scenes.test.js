// The engine's OpenGL layer against Mesa, scene by scene: the scenes program
// (tests/gl) built for the browser draws each scene in headless Chromium, and
// each picture is compared pixel by pixel with the desktop build's.
//   node scenes.test.js SCENES_JS DESKTOP_LINES WORKDIR
// DESKTOP_LINES: what the desktop build printed ("scene NAME LIMIT HEX").
// A scene passes when at most LIMIT of its pixels are more than 8 levels
// apart in a channel; each scene's share, largest difference and PSNR are
// printed as figures.
'use strict';
const fs = require('fs');
const path = require('path');
const {figure, fail, failed, launch} = require('./driver');

const apartLevels = 8;

function readScenes(lines) {
  const scenes = new Map();
  for (const line of lines) {
    const [word, name, limit, hex] = line.trim().split(' ');
    if (word === 'scene' && hex) scenes.set(name, {limit: Number(limit), pixels: Buffer.from(hex, 'hex')});
  }
  return scenes;
}

function compare(name, desktop, browser) {
  if (desktop.pixels.length !== browser.pixels.length) return fail(`${name}: ${browser.pixels.length} bytes, not ${desktop.pixels.length}`);
  const pixelCount = desktop.pixels.length / 3;
  let apart = 0, largest = 0, squares = 0;
  for (let p = 0; p < pixelCount; ++p) {
    let most = 0;
    for (let c = 0; c < 3; ++c) {
      const d = Math.abs(desktop.pixels[p * 3 + c] - browser.pixels[p * 3 + c]);
      most = Math.max(most, d);
      squares += d * d;
    }
    largest = Math.max(largest, most);
    if (most > apartLevels) ++apart;
  }
  const share = apart / pixelCount;
  const psnr = squares === 0 ? Infinity : 10 * Math.log10(255 * 255 * desktop.pixels.length / squares);
  figure(`scene ${name}, pixels more than ${apartLevels} apart`, (share * 100).toFixed(2), '%');
  figure(`scene ${name}, PSNR against the desktop`, psnr === Infinity ? 'inf' : psnr.toFixed(1), 'dB');
  console.log(`${name}: ${(share * 100).toFixed(2)} % apart (at most ${(desktop.limit * 100).toFixed(1)} %),` +
              ` largest difference ${largest}`);
  if (share > desktop.limit) fail(`${name}: ${(share * 100).toFixed(2)} % of the pixels are apart, more than ${(desktop.limit * 100).toFixed(1)} %`);
}

(async () => {
  const [program, desktopLines, workdir] = process.argv.slice(2);
  const desktop = readScenes(fs.readFileSync(desktopLines, 'utf8').split('\n'));
  if (desktop.size === 0) return fail(`${desktopLines} holds no scenes`);
  fs.copyFileSync(program, path.join(workdir, 'gl_scenes.js'));
  const html = path.join(workdir, 'scenes.html');
  fs.writeFileSync(html, '<!doctype html><canvas id="canvas" width="640" height="480"></canvas>\n' +
    '<script>var Module = {canvas: document.getElementById("canvas"), print: t => console.log(t),' +
    ' printErr: t => console.error(t), preRun: [() => { ENV.SDL_VIDEODRIVER = "emscripten"; }]};</script>\n' +
    '<script src="gl_scenes.js"></script>\n');
  const browser = await launch();
  const lines = [], errors = [];
  let done;
  const finished = new Promise(resolve => { done = resolve; });
  const page = await browser.newPage();
  page.on('pageerror', error => errors.push(error.message));
  page.on('console', message => {
    const text = message.text();
    if (message.type() === 'error') errors.push(text);
    lines.push(text);
    if (text.startsWith('scenes ')) done();
  });
  await page.goto('file://' + html);
  await Promise.race([finished, new Promise(resolve => setTimeout(resolve, 60000))]);
  await browser.close();
  // The one message expected: the layer refusing a call it does not record
  // into a display list.
  const refusal = "tarnix: the browser's OpenGL layer leaves glTexImage2D out of display list";
  if (!errors.some(error => error.startsWith(refusal))) fail(`the layer did not say "${refusal} ..."`);
  for (const error of errors.filter(error => !error.startsWith(refusal))) fail(`the scenes page: ${error}`);
  // Kept for a look: the browser's lines, as the desktop's are.
  fs.writeFileSync(path.join(workdir, 'browser_scenes.txt'), lines.filter(l => l.startsWith('scene')).join('\n') + '\n');
  const browserScenes = readScenes(lines);
  for (const [name, scene] of desktop) {
    if (!browserScenes.has(name)) fail(`${name}: not drawn in the browser`);
    else compare(name, scene, browserScenes.get(name));
  }
  process.exit(failed() ? 1 : 0);
})().catch(error => {
  fail(String(error));
  process.exit(1);
});
