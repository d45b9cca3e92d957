// The web page's frame log for bench/frame_pacing.sh: plays the page from
// demo time START for SECONDS in headless Chromium at 640 x 480 and prints
// the lines the program writes to the console with ?framelog.
//   node frame_pacing_page.js PAGE START SECONDS
'use strict';
const {launch, openPage, sleep} = require('./driver');

const [pagePath, start, seconds] = process.argv.slice(2);

(async () => {
  const browser = await launch(['--autoplay-policy=no-user-gesture-required']);
  try {
    const lines = [];
    const page = await openPage(browser, pagePath, `?autostart&framelog&start=${start}`, [], {width: 640, height: 480});
    page.on('console', message => {
      if (/^\d+ \d+\.\d+$/.test(message.text())) lines.push(message.text());
    });
    await page.waitForFunction(() => document.body.dataset.demoTime !== undefined, {timeout: 120000});
    await sleep(Number(seconds) * 1000);
    process.stdout.write(lines.join('\n') + '\n');
  } finally {
    await browser.close();
  }
})();
