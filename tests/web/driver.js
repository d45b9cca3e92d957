// What the page's drivers share: the browser, pages opened from disk with
// their errors collected, and the lines they print for the shell test
// ("figure: NAME VALUE [UNIT]", "fail: REASON").
'use strict';
const path = require('path');
const puppeteer = require('puppeteer-core');

let failed = false;
const figure = (name, value, unit) => console.log(`figure: ${name} ${value}${unit ? ' ' + unit : ''}`);
const fail = reason => {
  console.log(`fail: ${reason}`);
  failed = true;
};
const sleep = ms => new Promise(resolve => setTimeout(resolve, ms));

// Headless Chromium with WebGL on the software renderer, and `extra` flags.
// No sandbox: Chromium's cannot start as root nor in most containers.
function launch(extra = []) {
  return puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader', ...extra],
  });
}

// The page at `pagePath` with `query`, in a viewport of `width` x `height` CSS
// pixels at one device pixel each; its errors, console errors and requests
// for anything but itself (the page is the whole program: it fetches
// nothing) are added to `errors`. `beforeLoad` runs in the page before its
// own scripts.
async function openPage(browser, pagePath, query, errors, {width = 800, height = 600, beforeLoad} = {}) {
  const url = 'file://' + path.resolve(pagePath);
  const page = await browser.newPage();
  await page.setViewport({width, height, deviceScaleFactor: 1});
  page.on('pageerror', error => errors.push(error.message));
  page.on('console', message => {
    if (message.type() === 'error') errors.push(message.text());
  });
  page.on('request', request => {
    const asked = request.url();
    if (asked !== url + query && !asked.startsWith('data:')) errors.push(`the page fetched ${asked}`);
  });
  if (beforeLoad) await page.evaluateOnNewDocument(beforeLoad);
  await page.goto(url + query);
  return page;
}

module.exports = {figure, fail, failed: () => failed, sleep, launch, openPage};
