// SPDX-License-Identifier: MIT
// Opens a page of `python3 -m zelreport html` in headless Chromium as a
// person would, and prints what it shows as JSON for the Python tests:
//   node observe.mjs CHROMIUM PAGE FRAGMENT [SCREENSHOT]
// loaded: the page as opened; clicked: after two clicks on the ip1 head;
// typed: after typing "tt" in the filter box; linked: the page opened at
// #FRAGMENT; scriptless: the page with script turned off.
import puppeteer from "puppeteer-core";
import { pathToFileURL } from "node:url";

const [chromium, page, fragment, screenshot] = process.argv.slice(2);
const url = pathToFileURL(page).href;

// What a page shows: its shown rows in order (the record's number and
// nomvar), the images, the count line, the sorted head, the URL's fragment,
// and whether the texts hold any element.
function view() {
    const rows = [...document.querySelectorAll("#records .rows tr")];
    const sorted = document.querySelector("th[aria-sort]");
    return {
        visible: rows.filter((row) => !row.hidden && !row.closest(".rows").hidden)
            .map((row) => row.cells[0].textContent + " " + row.cells[1].textContent),
        images: document.querySelectorAll("#records img").length,
        shown: document.getElementById("shown").textContent,
        controls: !document.getElementById("controls").hidden,
        sorted: sorted ? sorted.dataset.key + " " + sorted.getAttribute("aria-sort") : "",
        fragment: location.hash,
        etikets: rows.map((row) => row.cells[3].textContent),
        elementsInTexts: rows.map((row) => [1, 2, 3, 11].map((i) => row.cells[i].children.length)).flat()
            .reduce((a, b) => a + b, 0),
    };
}

const browser = await puppeteer.launch({
    executablePath: chromium,
    headless: true,
    args: ["--no-sandbox", "--disable-gpu", "--window-size=1400,900"],
    defaultViewport: { width: 1400, height: 900 },
});
try {
    const tab = await browser.newPage();
    const observed = {};
    await tab.goto(url, { waitUntil: "load" });
    observed.loaded = await tab.evaluate(view);
    if (screenshot) await tab.screenshot({ path: screenshot });
    await tab.click("th[data-key=ip1] button");
    await tab.click("th[data-key=ip1] button");
    observed.clicked = await tab.evaluate(view);
    await tab.type("#filter", "tt");
    observed.typed = await tab.evaluate(view);
    await tab.goto("about:blank");
    await tab.goto(url + "#" + fragment, { waitUntil: "load" });
    observed.linked = await tab.evaluate(view);
    await tab.setJavaScriptEnabled(false);
    await tab.goto("about:blank");
    await tab.goto(url, { waitUntil: "load" });
    observed.scriptless = await tab.evaluate(view);
    console.log(JSON.stringify(observed));
} finally {
    await browser.close();
}
