// The live page: the status, the limits, the last rows and the statistics
// from the API, then readings and rows as the WebSocket pushes them.
"use strict";

const TEXTS = {
  en: { link: "Link", port: "Port", cycle: "Cycle", misses: "Misses", errors: "Errors", live: "Live",
        rows: "Last rows", statistics: "Statistics", connected: "connected", disconnected: "not connected",
        on: "on", off: "reconnecting", other: "中文", row: "Row", time: "Time", result: "Result", probe: "Probe",
        count: "n", mean: "Mean", sd: "σ", min: "Min", max: "Max", cpk: "Cpk", ng: "NG" },
  zh: { link: "连接", port: "端口", cycle: "周期", misses: "丢失", errors: "错误", live: "实时",
        rows: "最近记录", statistics: "统计", connected: "已连接", disconnected: "未连接",
        on: "在线", off: "重新连接中", other: "English", row: "行", time: "时间", result: "结果", probe: "测头",
        count: "数量", mean: "均值", sd: "σ", min: "最小", max: "最大", cpk: "Cpk", ng: "NG" },
};
const MAX_ROWS = 20;
let language = localStorage.getItem("language");
let status = null;
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

function applyLanguage() {
  document.documentElement.lang = language === "zh" ? "zh-CN" : "en";
  for (const element of document.querySelectorAll("[data-text]")) element.textContent = t(element.dataset.text);
  $("language").textContent = t("other");
  if (status) showStatus(status);
  showRows();
  fetchJson("/api/statistics").then(showStatistics).catch(() => {});
}

function showStatus(s) {
  status = s;
  if (!language) { language = s.language === "en" ? "en" : "zh"; applyLanguage(); return; }
  $("station").textContent = s.station;
  document.title = "gaugemon – " + s.station;
  $("link-state").textContent = s.link === "connected" ? t("connected") : t("disconnected");
  $("link-port").textContent = s.port || "–";
  $("link-line").textContent = s.line || "";
  $("link-cycle").textContent = s.cycle_ms ? s.cycle_ms + " ms" : "–";
  $("link-misses").textContent = s.misses;
  $("link-errors").textContent = s.errors;
}

// A bar from the lower margin to the upper one: the band in the middle half.
function showReadings(r) {
  const verdict = $("verdict");
  verdict.textContent = r.verdict || "–";
  verdict.className = "verdict " + (r.verdict === "OK" ? "ok" : r.verdict === "NG" ? "ng" : "none");
  const bars = $("bars");
  // The characteristics stand after the probes, outlined and named.
  const values = r.probes.map((p) => Object.assign({ label: "#" + p.probe, kind: "probe" }, p))
    .concat((r.characteristics || []).map((c) =>
      Object.assign({ label: c.name || "C" + c.characteristic, kind: "characteristic" }, c)));
  while (bars.children.length > values.length) bars.lastChild.remove();
  values.forEach((p, k) => {
    let bar = bars.children[k];
    if (!bar) {
      bar = document.createElement("div");
      bar.innerHTML = '<div class="name"></div><div class="track"><div class="band"></div><div class="fill"></div></div>' +
                      '<div class="value"></div><div class="limits"></div>';
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
    bar.querySelector(".limits").textContent = p.lower.toFixed(3) + " … " + p.upper.toFixed(3);
    const width = Math.max(p.upper - p.lower, 0.001);
    const low = p.lower - width / 2, high = p.upper + width / 2;
    const share = (v) => Math.min(100, Math.max(0, (v - low) / (high - low) * 100));
    const band = bar.querySelector(".band");
    band.style.bottom = share(p.lower) + "%";
    band.style.top = (100 - share(p.upper)) + "%";
    // A value that could not be computed draws no bar.
    bar.querySelector(".fill").style.height = p.value === null ? "0%" : share(p.value) + "%";
  });
}

function addRow(row) {
  if (row.sequence <= lastSequence) return;
  lastSequence = row.sequence;
  rows.unshift(row);
  rows.length = Math.min(rows.length, MAX_ROWS);
}

function showRows() {
  const table = $("rows");
  const head = table.tHead, body = table.tBodies[0];
  head.replaceChildren();
  body.replaceChildren();
  const probes = rows.length ? rows[0].values.length : 0;
  const top = document.createElement("tr");
  top.append(cell("th", t("row")), cell("th", t("time")));
  for (let k = 1; k <= probes; ++k) top.append(cell("th", "#" + k));
  const characteristics = rows.length && rows[0].characteristics ? rows[0].characteristics : [];
  for (const c of characteristics) top.append(cell("th", c.name));
  top.append(cell("th", t("result")));
  head.append(top);
  for (const row of rows) {
    const line = document.createElement("tr");
    line.append(cell("td", row.row), cell("td", row.time));
    for (const value of row.values) line.append(cell("td", value));
    for (const c of row.characteristics || []) line.append(cell("td", c.text));
    line.append(cell("td", row.verdict || "–", row.verdict));
    body.append(line);
  }
}

function figure(value, digits) { return value === null || value === undefined ? "–" : value.toFixed(digits); }

function showStatistics(s) {
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
  socket.onopen = () => { $("live").textContent = t("on"); };
  socket.onmessage = (event) => {
    const message = JSON.parse(event.data);
    if (message.type === "readings") showReadings(message.data);
    else if (message.type === "status") showStatus(message.data);
    else if (message.type === "row") { addRow(message.data); showRows(); statisticsSoon(); }
  };
  socket.onclose = () => {
    $("live").textContent = t("off");
    setTimeout(connectLive, 2000);
  };
}

async function start() {
  $("language").addEventListener("click", () => {
    language = language === "zh" ? "en" : "zh";
    localStorage.setItem("language", language);
    applyLanguage();
  });
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
    $("live").textContent = String(error);
  }
  connectLive();
}

start();
