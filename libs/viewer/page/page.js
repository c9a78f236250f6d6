// The page: controls, the readout under the mouse, the script hook
// (window.umbrascopeViewer) and the test mode (#test=EL1,EL2[&side=NAME|&azimuth=AZ]).

const $ = (id) => document.getElementById(id);

// Lengths as the legend gives them: hundredths, or three figures for the tiny ones.
const metres = (v) => `${Math.abs(v) >= 0.01 || v === 0 ? +v.toFixed(2) : v.toPrecision(3)} m`;

// A line at the top of the panel: why the terrain is not shown, or not as it is.
function showNotice(text) {
  $("notice").textContent = text;
  $("notice").hidden = false;
}

function sideText(direction) {
  const along = direction.rowStep > 0 ? "along increasing rows (down the image)"
              : direction.rowStep < 0 ? "along decreasing rows (up the image)"
              : "across the rows";
  return `${direction.name}: ${along}, ${direction.channel}`;
}

function fillLegend(data) {
  const s = data.settings;
  const entries = [
    ["Map", data.map.name],
    ["Texels", `${data.map.width} × ${data.map.height}`],
    ["Mesh", `${data.grid.columns} × ${data.grid.rows}` + (data.grid.stride > 1 ? `, one texel in ${data.grid.stride} along each side` : "")],
    ...(data.azimuthal
      ? [["Cell", metres(s.TerraSize / data.map.width)],
         ["Azimuths", data.directions.map((d) => `${d.azimuth.toFixed(2)}°`).join(" ")],
         ["North", `${(data.map.northRows ?? -1) > 0 ? "down" : "up"} the image, east to its ${(data.map.eastColumns ?? 1) > 0 ? "right" : "left"}`]]
      : [["Height", `${s.Height} m per unit`], ["HeightZero", metres(s.HeightZero)], ["TerraSize", metres(s.TerraSize)]]),
    ["Elevations", `${metres(data.lowest)} to ${metres(data.highest)}`],
  ];
  for (const [name, value] of entries) {
    const dt = document.createElement("dt");
    dt.textContent = name;
    const dd = document.createElement("dd");
    dd.textContent = value;
    $("legend").append(dt, dd);
  }
}

function startViewer() {
  const data = readPageData($("umbrascope-data"));
  const renderer = new TerrainRenderer($("view"), data);
  // `bracket`: for pages with azimuths, the two directions around the sun's.
  const sun = { elevation: 20, direction: 0, azimuth: 135, bracket: null, vector: [0, 0, 0] };
  const view = { yaw: 0.9, pitch: 0.6, distance: 1.4, exaggeration: 1, shadows: true, hover: -1, shift: 0 };
  const count = data.grid.columns * data.grid.rows;
  if (renderer.flattened > 1)
    showNotice(`Relief drawn ${renderer.flattened.toPrecision(3)} times flatter than it is: ` +
               `${metres(data.highest - data.lowest)} of it on a map ${metres(data.settings.TerraSize)} across.`);

  // The sun's place on the screen: its direction projected as a point at infinity,
  // held at the edge (faded) when it is out of sight.
  const placeSun = () => {
    const m = renderer.viewProjection(view);
    const [x, y, z] = sun.vector;
    const [cx, cy, cw] = [0, 1, 3].map((r) => m[r] * x + m[4 + r] * y + m[8 + r] * z);
    let nx = cx / Math.abs(cw || 1e-9), ny = cy / Math.abs(cw || 1e-9);
    const outside = !(cw > 0) || Math.abs(nx) > 0.95 || Math.abs(ny) > 0.95;
    if (outside) {
      const scale = 0.95 / Math.max(Math.abs(nx), Math.abs(ny), 1e-9);
      nx *= scale;
      ny *= scale;
    }
    const marker = $("sun"), canvas = $("view");
    marker.style.opacity = outside ? 0.45 : 1;
    marker.style.left = `${((nx + 1) / 2) * canvas.clientWidth}px`;
    marker.style.top = `${((1 - ny) / 2) * canvas.clientHeight}px`;
  };
  const render = () => {
    view.shift = ($("panel").offsetWidth + 10) / Math.max(1, $("view").clientWidth);
    renderer.draw(sun, view);
    placeSun();
  };
  let pending = false;
  const renderSoon = () => {
    if (pending) return;
    pending = true;
    requestAnimationFrame(() => {
      pending = false;
      render();
    });
  };

  const shadowedAt = (i) => data.azimuthal
    ? horizonTowards(data, sun.bracket, i) > sun.elevation
    : isShadowed(data.directions[sun.direction].codes[i], sun.elevation, data);
  const shadowed = () => {
    const mask = new Uint8Array(count);
    for (let i = 0; i < count; ++i) mask[i] = shadowedAt(i) ? 1 : 0;
    return mask;
  };
  const shadowedShare = () => shadowed().reduce((a, b) => a + b, 0) / count;
  // Four texels a hex digit, first texel in the high bit, packed rows; the last digit padded with 0.
  const shadowMask = () => {
    const mask = shadowed();
    let text = "";
    for (let i = 0; i < count; i += 4) {
      let digit = 0;
      for (let k = 0; k < 4; ++k) digit = (digit << 1) | (i + k < count ? mask[i + k] : 0);
      text += digit.toString(16);
    }
    return text;
  };

  const showSun = () => {
    $("elevation").value = sun.elevation;
    $("elevation-value").textContent = `${sun.elevation.toFixed(1)}°`;
    for (const input of document.querySelectorAll("#sides input")) input.checked = +input.value === sun.direction;
    $("azimuth").value = sun.azimuth;
    $("azimuth-value").textContent = `${sun.azimuth.toFixed(1)}°`;
    $("share").textContent = view.shadows
      ? `${(100 * shadowedShare()).toFixed(1)} % of the texels in cast shadow`
      : "Plain hillshade: no cast shadows";
  };

  // `side`: a direction's name or index; on pages with azimuths, the sun's azimuth
  // in degrees. The elevation is held to [0, 90] degrees.
  const setSun = (elevation, side = data.azimuthal ? sun.azimuth : sun.direction) => {
    if (data.azimuthal) {
      if (!Number.isFinite(Number(side))) throw new Error("no sun azimuth " + side);
      sun.elevation = Math.min(90, Math.max(0, Number(elevation)));
      sun.azimuth = wrapDegrees(Number(side));
      sun.bracket = bracketOf(data.directions, sun.azimuth);
      const e = (sun.elevation * Math.PI) / 180, a = (sun.azimuth * Math.PI) / 180;
      const { northRows = -1, eastColumns = 1 } = data.map;
      sun.vector = [eastColumns * Math.cos(e) * Math.sin(a), Math.sin(e), northRows * Math.cos(e) * Math.cos(a)];
      showSun();
      render();
      return;
    }
    const index = typeof side === "number" ? side : data.directions.findIndex((d) => d.name === side);
    if (!(index >= 0 && index < data.directions.length)) throw new Error("no sun direction " + side);
    sun.elevation = Math.min(90, Math.max(0, Number(elevation)));
    sun.direction = index;
    const d = data.directions[index];
    const across = Math.hypot(d.columnStep, d.rowStep) || 1;
    const e = (sun.elevation * Math.PI) / 180;
    sun.vector = [(Math.cos(e) * d.columnStep) / across, Math.sin(e), (Math.cos(e) * d.rowStep) / across];
    showSun();
    render();
  };

  const readout = (index) => {
    if (index < 0 || index >= count) return "Point at the terrain to read a texel.";
    const r = Math.floor(index / data.grid.columns), c = index % data.grid.columns;
    const around = (k) => {
      const d = data.directions[k];
      return `${d.name}: ${describeCode(d.codes[index], data)}`;
    };
    const lines = [
      `row ${r * data.grid.stride}, column ${c * data.grid.stride}`,
      `elevation ${data.elevations[index].toFixed(1)} m`,
      ...(data.azimuthal
        ? [`horizon towards the sun (${sun.azimuth.toFixed(1)}°): ${horizonTowards(data, sun.bracket, index).toFixed(3)}°`,
           `  between ${around(sun.bracket.a)} and ${around(sun.bracket.b)}`]
        : data.directions.map((d) => `${d.name} (${d.channel}): ${describeCode(d.codes[index], data)}`)),
      `now: ${shadowedAt(index) ? "in cast shadow" : "in the sun"}`,
    ];
    return lines.join("\n");
  };

  if (data.azimuthal) {
    $("sides").hidden = true;
    $("azimuth-row").hidden = false;
    $("azimuth").addEventListener("input", (e) => setSun(sun.elevation, e.target.value));
  } else data.directions.forEach((d, i) => {
    const label = document.createElement("label");
    const input = document.createElement("input");
    input.type = "radio";
    input.name = "side";
    input.value = String(i);
    input.addEventListener("change", () => setSun(sun.elevation, i));
    label.append(input, " " + sideText(d));
    $("sides").append(label);
  });
  fillLegend(data);
  $("elevation").addEventListener("input", (e) => setSun(e.target.value));
  $("relief").addEventListener("input", (e) => {
    view.exaggeration = Number(e.target.value);
    $("relief-value").textContent = e.target.value;
    render();
  });
  $("shadows").addEventListener("change", (e) => {
    view.shadows = e.target.checked;
    showSun();
    render();
  });

  const canvas = $("view");
  let drag = null;
  canvas.addEventListener("pointerdown", (e) => {
    drag = { x: e.clientX, y: e.clientY };
    canvas.setPointerCapture(e.pointerId);
  });
  canvas.addEventListener("pointerup", () => (drag = null));
  canvas.addEventListener("pointermove", (e) => {
    if (drag) {
      view.yaw -= (e.clientX - drag.x) * 0.006;
      view.pitch = Math.min(1.5, Math.max(0.05, view.pitch + (e.clientY - drag.y) * 0.006));
      drag = { x: e.clientX, y: e.clientY };
    } else {
      const rect = canvas.getBoundingClientRect();
      view.hover = renderer.pick(e.clientX - rect.left, e.clientY - rect.top, view);
      $("readout").textContent = readout(view.hover);
    }
    renderSoon();
  });
  canvas.addEventListener("pointerleave", () => {
    view.hover = -1;
    $("readout").textContent = readout(-1);
    renderSoon();
  });
  canvas.addEventListener("wheel", (e) => {
    e.preventDefault();
    view.distance = Math.min(6, Math.max(0.1, view.distance * Math.exp(e.deltaY * 0.001)));
    renderSoon();
  }, { passive: false });
  window.addEventListener("resize", renderSoon);

  setSun(sun.elevation, data.azimuthal ? sun.azimuth : 0);
  return {
    ready: true,
    data,
    setSun,
    shadowMask,
    shadowedShare,
    pixelVariance: () => renderer.pixelVariance(),
    coverage: () => renderer.coverage(view),
    renderer: () => renderer.gl.getParameter(renderer.gl.RENDERER),
  };
}

// Sets each sun in turn and writes what it measured, as JSON, into the result element.
function runTest(hook, params) {
  const result = { errors: [], renderer: null, grid: null, suns: [], drawn: 0 };
  try {
    // Neither given: the side or azimuth the page starts with.
    const side = params.has("azimuth") ? Number(params.get("azimuth")) : params.get("side") || undefined;
    result.renderer = hook.renderer();
    result.grid = [hook.data.grid.columns, hook.data.grid.rows];
    params.get("test").split(",").map(Number).forEach((elevation) => {
      hook.setSun(elevation, side);
      result.suns.push({ elevation, side, shadowedShare: hook.shadowedShare(), variance: hook.pixelVariance(),
                         mask: hook.shadowMask() });
    });
    result.drawn = hook.coverage();
  } catch (e) {
    window.umbrascopeErrors.push(String(e));
  }
  return result;
}

const testParams = new URLSearchParams(location.hash.slice(1));
try {
  window.umbrascopeViewer = startViewer();
} catch (e) {
  window.umbrascopeErrors.push(String(e && e.message ? e.message : e));
  window.umbrascopeViewer = { ready: false };
  for (const control of document.querySelectorAll("#panel .row, #sides, #sun, #readout")) control.hidden = true;
  showNotice("The page cannot show the terrain: " + (e && e.message ? e.message : e));
}
if (testParams.has("test")) {
  const result = window.umbrascopeViewer.ready ? runTest(window.umbrascopeViewer, testParams) : { suns: [] };
  // What a reader sees: the notice, and the controls shown.
  result.notice = $("notice").hidden ? "" : $("notice").textContent;
  result.controls = [...new Set([...document.querySelectorAll("#panel input")]
    .filter((input) => input.getClientRects().length > 0).map((input) => input.id || input.name))];
  result.errors = window.umbrascopeErrors.slice();
  $("umbrascope-test-result").textContent = JSON.stringify(result);
}
