// The live page: the status, the limits, the last rows and the statistics
// from the API, then readings and rows as the WebSocket pushes them.
"use strict";

const TEXTS = {
  en: { link: "Link", port: "Port", cycle: "Cycle", misses: "Misses", errors: "Errors", live: "Live",
        rows: "Last rows", statistics: "Statistics", connected: "connected", disconnected: "not connected",
        lost: "no answer", on: "on", off: "reconnecting", other: "中文", row: "Row", time: "Time", result: "Result",
        probe: "Probe", count: "n", mean: "Mean", sd: "σ", min: "Min", max: "Max", cpk: "Cpk", ng: "NG" },
  zh: { link: "连接", port: "端口", cycle: "周期", misses: "丢失", errors: "错误", live: "实时",
        rows: "最近记录", statistics: "统计", connected: "已连接", disconnected: "未连接",
        lost: "无应答", on: "在线", off: "重新连接中", other: "English", row: "行", time: "时间", result: "结果",
        probe: "测头", count: "数量", mean: "均值", sd: "σ", min: "最小", max: "最大", cpk: "Cpk", ng: "NG" },
};
const MAX_ROWS = 20;
// A screen this large shows every bar and the verdict at once, the bars
// sized to the room there is.
const WALL = window.matchMedia("(min-width: 1200px) and (min-height: 700px)");
let language = localStorage.getItem("language");
let status = null;
let statistics = null;
let lost = false;
// The longest value text the bars were fitted to.
let widestText = 0;
// The WebSocket's state as a text key, or the error that kept the page from starting.
let live = null;
let lastSequence = 0;
const rows = [];

const $ = (id) => document.getElementById(id);
const t = (key) => TEXTS[language || "en"][key];

function cell(tag, text, className) {
  const element = document.createElement(tag);
  element.textContent = text;
  if (className) element.className = className;
  return element;
}

// Every text on the page in the language chosen, from what it last showed.
function applyLanguage() {
  document.documentElement.lang = language === "zh" ? "zh-CN" : "en";
  for (const element of document.querySelectorAll("[data-text]")) element.textContent = t(element.dataset.text);
  $("language").textContent = t("other");
  if (status) showStatus(status);
  showLive();
  showRows();
  if (statistics) showStatistics(statistics);
}

function showStatus(s) {
  status = s;
  if (!language) { language = s.language === "en" ? "en" : "zh"; applyLanguage(); return; }
  $("station").textContent = s.station;
  document.title = "gaugemon – " + s.station;
  showLink();
  $("link-port").textContent = s.port || "–";
  $("link-line").textContent = s.line || "";
  $("link-cycle").textContent = s.cycle_ms ? s.cycle_ms + " ms" : "–";
  $("link-misses").textContent = s.misses;
  $("link-errors").textContent = s.errors;
}

function showLink() {
  if (!status) return;
  $("link-state").textContent = status.link !== "connected" ? t("disconnected") : lost ? t("lost") : t("connected");
}

function showLive() {
  $("live").textContent = live === null ? "–" : TEXTS.en[live] ? t(live) : live;
}

// A bar from the lower margin to the upper one: the band in the middle half.
// The readings of a lost instrument have no values: the bars stay, greyed.
function showReadings(r) {
  lost = !r.connected;
  document.body.classList.toggle("lost", lost);
  showLink();
  const verdict = $("verdict");
  verdict.textContent = r.verdict || "–";
  verdict.className = "verdict " + (r.verdict === "OK" ? "ok" : r.verdict === "NG" ? "ng" : "none");
  const bars = $("bars");
  if (lost) {
    for (const bar of bars.children) {
      bar.dataset.zone = "none";
      bar.querySelector(".value").textContent = "–";
      bar.querySelector(".fill").style.height = "0%";
    }
    return;
  }
  // The characteristics stand after the probes, outlined and named.
  const values = r.probes.map((p) => Object.assign({ label: "#" + p.probe, kind: "probe" }, p))
    .concat((r.characteristics || []).map((c) =>
      Object.assign({ label: c.name || "C" + c.characteristic, kind: "characteristic" }, c)));
  const count = bars.children.length;
  const widest = Math.max(0, ...values.map((p) => p.text.length));
  while (bars.children.length > values.length) bars.lastChild.remove();
  values.forEach((p, k) => {
    let bar = bars.children[k];
    if (!bar) {
      bar = document.createElement("div");
      bar.innerHTML = '<div class="name"></div><div class="upper"></div>' +
                      '<div class="track"><div class="band"></div><div class="fill"></div></div>' +
                      '<div class="lower"></div><div class="value"></div>';
      bars.appendChild(bar);
    }
    bar.className = p.kind === "characteristic" ? "probe characteristic" : "probe";
    bar.dataset.probe = p.probe || "";
    bar.dataset.zone = p.zone;
    bar.dataset.verdict = p.verdict;
    if (p.characteristic) bar.dataset.characteristic = p.characteristic;
    else delete bar.dataset.characteristic;
    bar.querySelector(".name").textContent = p.label;
    bar.querySelector(".value").textContent = p.text;
    // The limits at the ends of the band they bound.
    bar.querySelector(".upper").textContent = p.upper.toFixed(3);
    bar.querySelector(".lower").textContent = p.lower.toFixed(3);
    const width = Math.max(p.upper - p.lower, 0.001);
    const low = p.lower - width / 2, high = p.upper + width / 2;
    const share = (v) => Math.min(100, Math.max(0, (v - low) / (high - low) * 100));
    const band = bar.querySelector(".band");
    band.style.bottom = share(p.lower) + "%";
    band.style.top = (100 - share(p.upper)) + "%";
    // A value that could not be computed draws no bar.
    bar.querySelector(".fill").style.height = p.value === null ? "0%" : share(p.value) + "%";
  });
  if (bars.children.length !== count || widest !== widestText) fitBars();
  widestText = widest;
}

// On a wall screen the bars share the room left by the tables: the grid
// whose bars get the largest text, scaled to fit the widest value or limit
// into a bar's width and the track and four lines into its height.
function fitBars() {
  const bars = $("bars");
  const n = bars.children.length;
  document.body.classList.toggle("wall", WALL.matches);
  if (!WALL.matches || n === 0) return;
  const style = getComputedStyle(bars);
  const gap = parseFloat(style.columnGap) || 0;
  const width = bars.clientWidth - parseFloat(style.paddingLeft) - parseFloat(style.paddingRight);
  const height = bars.clientHeight - parseFloat(style.paddingTop) - parseFloat(style.paddingBottom);
  const largest = parseFloat(getComputedStyle(document.body).fontSize);
  // In ems of the bar's font: monospace digits are 0.6 em, the value 1.1 em
  // large, the limits 0.7 em, and the bar has 0.3 em of padding each side.
  let ems = 0;
  for (const bar of bars.children) {
    ems = Math.max(ems, bar.querySelector(".value").textContent.length * 0.66,
                   bar.querySelector(".upper").textContent.length * 0.42,
                   bar.querySelector(".lower").textContent.length * 0.42);
  }
  ems += 1;
  let best = { font: 0, columns: n, rowHeight: 0 };
  for (let columns = 1; columns <= n; ++columns) {
    const lines = Math.ceil(n / columns);
    const barWidth = (width - gap * (columns - 1)) / columns;
    const rowHeight = (height - gap * (lines - 1)) / lines;
    const font = Math.min(largest, barWidth / ems, rowHeight / 8);
    // Of equal text, the wider grid: its tracks are the taller.
    if (font >= best.font) best = { font, columns, rowHeight };
  }
  bars.style.setProperty("--columns", best.columns);
  bars.style.setProperty("--bar-font", best.font.toFixed(1) + "px");
  bars.style.setProperty("--row-height", Math.floor(best.rowHeight) + "px");
}

function addRow(row) {
  if (row.sequence <= lastSequence) return;
  lastSequence = row.sequence;
  rows.unshift(row);
  rows.length = Math.min(rows.length, MAX_ROWS);
}

// "12:31:25" of a row's "2026-12-10T12:31:25.000+01:00"; the whole time on hover.
function clockTime(time) { return time.length >= 19 ? time.slice(11, 19) : time; }

// The last rows side by side, the newest first, one line per probe: as many
// rows as the box has room for, so that it never grows sideways.
function showRows() {
  const table = $("rows");
  const head = table.tHead, body = table.tBodies[0];
  head.replaceChildren();
  body.replaceChildren();
  if (!rows.length) return;
  const line = (label, texts, classes) => {
    const tr = document.createElement("tr");
    tr.append(cell("th", label));
    texts.forEach((text, k) => tr.append(cell("td", text, classes ? classes[k] : null)));
    return tr;
  };
  head.append(line(t("row"), rows.map((r) => r.row)));
  const times = line(t("time"), rows.map((r) => clockTime(r.time)));
  [...times.cells].slice(1).forEach((td, k) => { td.title = rows[k].time; });
  head.append(times);
  for (let k = 0; k < rows[0].values.length; ++k) body.append(line("#" + (k + 1), rows.map((r) => r.values[k] ?? "")));
  (rows[0].characteristics || []).forEach((c, k) =>
    body.append(line(c.name, rows.map((r) => (r.characteristics && r.characteristics[k]) ? r.characteristics[k].text : ""))));
  body.append(line(t("result"), rows.map((r) => r.verdict || "–"), rows.map((r) => r.verdict)));
  fitRows();
}

function fitRows() {
  const table = $("rows");
  const box = table.parentElement;
  const first = table.rows[0];
  if (!first || first.cells.length < 2) return;
  let room = box.clientWidth - first.cells[0].offsetWidth;
  let shown = 0;
  for (let k = 1; k < first.cells.length; ++k) {
    let widest = 0;
    for (const tr of table.rows) widest = Math.max(widest, tr.cells[k] ? tr.cells[k].offsetWidth : 0);
    room -= widest;
    if (room < 0 && shown > 0) break;
    ++shown;
  }
  for (const tr of table.rows) while (tr.cells.length > shown + 1) tr.lastChild.remove();
}

// Rounded, a negative figure too small to show reads as zero, without a sign.
function figure(value, digits) {
  if (value === null || value === undefined) return "–";
  const text = value.toFixed(digits);
  return /^-0(\.0*)?$/.test(text) ? text.slice(1) : text;
}

function showStatistics(s) {
  statistics = s;
  const table = $("statistics");
  const head = table.tHead, body = table.tBodies[0];
  head.replaceChildren();
  body.replaceChildren();
  const top = document.createElement("tr");
  for (const key of ["probe", "count", "mean", "sd", "min", "max", "cpk", "ng"]) top.append(cell("th", t(key)));
  head.append(top);
  const named = s.probes.map((p) => Object.assign({ label: "#" + p.probe }, p))
    .concat((s.characteristics || []).map((c) => Object.assign({ label: c.name }, c)));
  for (const p of named) {
    const line = document.createElement("tr");
    line.append(cell("td", p.label), cell("td", p.count), cell("td", figure(p.mean, 4)),
                cell("td", figure(p.std_dev, 4)), cell("td", figure(p.min, 3)), cell("td", figure(p.max, 3)),
                cell("td", figure(p.cpk, 2)), cell("td", p.ng));
    body.append(line);
  }
}

async function fetchJson(path) {
  const answer = await fetch(path, { cache: "no-store" });
  if (!answer.ok) throw new Error(path + ": " + answer.status);
  return answer.json();
}

let statisticsDue = false;
function statisticsSoon() {
  if (statisticsDue) return;
  statisticsDue = true;
  setTimeout(() => {
    statisticsDue = false;
    fetchJson("/api/statistics").then(showStatistics).catch(() => {});
  }, 1000);
}

function connectLive() {
  const socket = new WebSocket((location.protocol === "https:" ? "wss://" : "ws://") + location.host + "/ws");
  socket.onopen = () => { live = "on"; showLive(); };
  socket.onmessage = (event) => {
    const message = JSON.parse(event.data);
    if (message.type === "readings") showReadings(message.data);
    else if (message.type === "status") showStatus(message.data);
    else if (message.type === "row") { addRow(message.data); showRows(); statisticsSoon(); }
  };
  socket.onclose = () => {
    live = "off";
    showLive();
    setTimeout(connectLive, 2000);
  };
}

async function start() {
  $("language").addEventListener("click", () => {
    language = language === "zh" ? "en" : "zh";
    localStorage.setItem("language", language);
    applyLanguage();
  });
  // A language chosen before is the page's from the start, labels and values alike.
  if (TEXTS[language]) applyLanguage();
  else language = null;
  window.addEventListener("resize", () => { fitBars(); showRows(); });
  fitBars();
  try {
    showStatus(await fetchJson("/api/status"));
    showReadings(await fetchJson("/api/readings"));
    let since = 0;
    for (;;) {
      const page = await fetchJson("/api/rows?since=" + since + "&limit=500");
      page.rows.forEach(addRow);
      since = page.next;
      if (!page.more) break;
    }
    showRows();
    showStatistics(await fetchJson("/api/statistics"));
  } catch (error) {
    live = String(error);
    showLive();
  }
  connectLive();
}

start();
