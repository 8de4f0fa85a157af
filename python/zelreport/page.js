// SPDX-License-Identifier: MIT
// Sorting and filtering of the records table. The view's state lives in
// the URL fragment (#sort=ip1-desc&filter=TT), so that a link shows it.
"use strict";
(function () {
    // The rows are in tables of a block of records each, under one table of heads.
    var records = document.getElementById("records");
    var heads = Array.prototype.slice.call(records.querySelectorAll(".head th"));
    var bodies = Array.prototype.slice.call(records.querySelectorAll(".rows tbody"));
    var sizes = bodies.map(function (body) { return body.rows.length; });
    var rows = Array.prototype.slice.call(records.querySelectorAll(".rows tr"));
    var box = document.getElementById("filter");
    var shown = document.getElementById("shown");
    var state = {sort: "", desc: false, filter: ""};
    var applied = {sort: "", desc: false, filter: ""};
    var keys = {};      // per column: each row's sort key, made on first use
    var needles = null; // per row: nomvar and etiket in lower case, made on first use

    function column(key) {
        for (var i = 0; i < heads.length; i++)
            if (heads[i].dataset.key === key && heads[i].dataset.kind) return i;
        return -1;
    }

    // Numbers as the page spells them ("-nan", "inf"); an empty cell is missing.
    function number(text) {
        if (text === "") return NaN;
        if (text === "inf" || text === "-inf") return text === "inf" ? Infinity : -Infinity;
        return Number(text);
    }

    function sortKeys(i, kind) {
        if (!keys[i])
            keys[i] = rows.map(function (row) {
                var text = row.cells[i].textContent;
                if (kind === "grid") return text.split("\u00d7").map(Number);
                return kind === "text" ? text : number(text);
            });
        return keys[i];
    }

    function missing(kind, key) {
        return kind === "text" ? key === "" : kind === "number" ? isNaN(key) : false;
    }

    function compare(kind, a, b) {
        if (kind === "grid") {
            for (var i = 0; i < a.length; i++)
                if (a[i] !== b[i]) return a[i] - b[i];
            return 0;
        }
        return a < b ? -1 : a > b ? 1 : 0;
    }

    // Rows in the order asked for; ties and missing keys (always last) in
    // document order.
    function order() {
        var i = column(state.sort), ranks = rows.map(function (row, n) { return n; });
        heads.forEach(function (head, n) {
            if (n === i) head.setAttribute("aria-sort", state.desc ? "descending" : "ascending");
            else head.removeAttribute("aria-sort");
        });
        if (i >= 0) {
            var kind = heads[i].dataset.kind, k = sortKeys(i, kind), sign = state.desc ? -1 : 1;
            ranks.sort(function (a, b) {
                var gone = missing(kind, k[a]) - missing(kind, k[b]);
                return gone || sign * compare(kind, k[a], k[b]) || a - b;
            });
        }
        // Each table keeps its count of rows, in the new order.
        var next = 0;
        bodies.forEach(function (body, b) {
            var fragment = document.createDocumentFragment();
            for (var end = next + sizes[b]; next < end; next++) fragment.appendChild(rows[ranks[next]]);
            body.appendChild(fragment);
        });
    }

    function filter() {
        var needle = state.filter.toLowerCase(), count = 0;
        if (needle || applied.filter) {
            if (!needles)
                needles = rows.map(function (row) {
                    return (row.cells[1].textContent + "\n" + row.cells[3].textContent).toLowerCase();
                });
            rows.forEach(function (row, n) {
                var hit = needles[n].indexOf(needle) >= 0;
                row.hidden = !hit;
                count += hit;
            });
        } else {
            count = rows.length;
        }
        shown.textContent = count.toLocaleString("en-US") + " of " + rows.length.toLocaleString("en-US") + " records";
    }

    // A table whose rows are all filtered out is hidden whole, so that no
    // room is kept for it.
    function showTables() {
        bodies.forEach(function (body) {
            var any = false;
            for (var r = 0; r < body.rows.length && !any; r++) any = !body.rows[r].hidden;
            body.parentNode.parentNode.hidden = !any;
        });
    }

    function apply() {
        var sorted = state.sort !== applied.sort || state.desc !== applied.desc;
        var filtered = state.filter !== applied.filter || !shown.textContent;
        if (sorted) order();
        if (filtered) filter();
        if (sorted || filtered) showTables();
        applied = {sort: state.sort, desc: state.desc, filter: state.filter};
    }

    function readFragment() {
        var fragment = new URLSearchParams(location.hash.slice(1));
        var sort = /^(.*?)(-asc|-desc)?$/.exec(fragment.get("sort") || "");
        state.sort = column(sort[1]) >= 0 ? sort[1] : "";
        state.desc = state.sort !== "" && sort[2] === "-desc";
        state.filter = fragment.get("filter") || "";
        box.value = state.filter;
    }

    function writeFragment() {
        var fragment = new URLSearchParams();
        if (state.sort) fragment.set("sort", state.sort + (state.desc ? "-desc" : ""));
        if (state.filter) fragment.set("filter", state.filter);
        var text = fragment.toString();
        history.replaceState(null, "", location.pathname + location.search + (text ? "#" + text : ""));
    }

    heads.forEach(function (head) {
        if (!head.dataset.kind) return;
        var button = document.createElement("button");
        button.type = "button";
        button.textContent = head.textContent;
        button.title = "sort by " + head.dataset.key;
        head.textContent = "";
        head.appendChild(button);
        button.addEventListener("click", function () {
            state.desc = state.sort === head.dataset.key && !state.desc;
            state.sort = head.dataset.key;
            writeFragment();
            apply();
        });
    });
    box.addEventListener("input", function () {
        state.filter = box.value;
        writeFragment();
        apply();
    });
    window.addEventListener("hashchange", function () {
        readFragment();
        apply();
    });
    document.getElementById("controls").hidden = false;
    readFragment();
    apply();
})();
