// The data the program wrote into the page, and the shadow rule on it. The codes
// are described in viewer/include/viewer/page_data.h; the C++ there applies the
// same rule, in the same double arithmetic.

const kTreeKind = 4;
const kKindNames = { 3: "open", 4: "under a tree", 5: "edge: no terrain ahead", 6: "unfit: no rising slope gives the value" };

// Little-endian 16-bit words from base64.
function decodeWords(text) {
  const bytes = atob(text);
  const words = new Uint16Array(bytes.length >> 1);
  for (let i = 0; i < words.length; ++i) words[i] = bytes.charCodeAt(2 * i) | (bytes.charCodeAt(2 * i + 1) << 8);
  return words;
}

function readPageData(element) {
  const raw = JSON.parse(element.textContent);
  if (raw.format !== 2) throw new Error("unknown page data format " + raw.format);
  const { columns, rows, stride } = raw.grid;
  const count = columns * rows;
  const heightCodes = decodeWords(raw.elevations.codes);
  const lowest = raw.elevations.lowest;
  const span = raw.elevations.highest - lowest;
  if (!Number.isFinite(span)) throw new Error("the elevations span more metres than a number holds");
  // The program writes a size beyond a double as null.
  if (raw.settings.TerraSize === null) throw new Error("the map is wider than a number of metres can hold");
  const cell = (stride * raw.settings.TerraSize) / raw.map.width;
  if (!(cell > 0 && Number.isFinite(cell)))
    throw new Error(`the map's cells are ${raw.settings.TerraSize / raw.map.width} m across: no size to draw`);
  // Each point's height in [0, 1] from the lowest to the highest: what is drawn, at any scale.
  const levels = new Float32Array(count);
  const elevations = new Float32Array(count);
  for (let i = 0; i < count; ++i) {
    const level = heightCodes[i] / 65535;
    levels[i] = level;
    elevations[i] = lowest + level * span;
  }
  const directions = raw.directions.map((d) => ({
    name: d.name,
    channel: d.channel,
    rowStep: d.rowStep,
    columnStep: d.columnStep,
    azimuth: d.azimuth,
    codes: decodeWords(d.codes),
  }));
  if (heightCodes.length !== count || directions.some((d) => d.codes.length !== count))
    throw new Error("the page's data does not fill its grid");
  return {
    map: raw.map,
    settings: raw.settings,
    grid: { columns, rows, stride, cell },
    elevations,
    levels,
    lowest,
    highest: raw.elevations.highest,
    full: raw.angleCodes.full,
    noAngle: raw.angleCodes.noAngle,
    lowestAngle: raw.angleCodes.lowest,
    highestAngle: raw.angleCodes.highest,
    directions,
    // Many directions, each with its azimuth: the sun is set by azimuth.
    azimuthal: directions.every((d) => typeof d.azimuth === "number"),
  };
}

function treeCode(data) {
  return data.noAngle + kTreeKind;
}

// In cast shadow: under a tree, or the sun below the stored horizon in its direction.
function isShadowed(code, elevation, data) {
  if (code === treeCode(data)) return true;
  return code <= data.full && sunCode(elevation, data) < code;
}

// The sun's elevation on the codes' scale, not rounded.
function sunCode(elevation, data) {
  return ((elevation - data.lowestAngle) * data.full) / (data.highestAngle - data.lowestAngle);
}

// The largest whole code the sun clears; for whole codes, code > threshold is the rule above.
function shadowThreshold(elevation, data) {
  return Math.min(65535, Math.max(0, Math.floor(sunCode(elevation, data))));
}

// What a code says, for the readout.
function describeCode(code, data) {
  if (code <= data.full) return codeDegrees(code, data).toFixed(3) + "°";
  return kKindNames[code - data.noAngle] || "code " + code;
}

// For pages with azimuths: umbrascope-sky's rule (sky/src/derived_products.cpp,
// BracketOf and HorizonTowards), step for step in the same double arithmetic, on
// the angles the codes stand for as floats.
const wrapDegrees = (d) => (((d % 360) + 360) % 360);

function bracketOf(directions, azimuth) {
  const az = directions.map((d) => d.azimuth);
  const order = az.map((_, i) => i).sort((a, b) => az[a] - az[b]);
  const n = order.length;
  const wanted = wrapDegrees(azimuth);
  let before = n - 1;
  for (let i = 0; i < n; ++i) if (wrapDegrees(az[order[i]]) <= wanted) before = i;
  const a = order[before], b = order[(before + 1) % n];
  const gap = wrapDegrees(az[b] - az[a]);
  return { a, b, t: gap === 0 ? 0 : wrapDegrees(wanted - az[a]) / gap };
}

// The angle a code stands for, or null for a code with no angle.
function codeDegrees(code, data) {
  const span = data.highestAngle - data.lowestAngle;
  return code <= data.full ? Math.fround(data.lowestAngle + (code * span) / data.full) : null;
}

// The horizon towards the bracketed azimuth; -90 where neither direction has one.
function horizonTowards(data, bracket, index) {
  const ha = codeDegrees(data.directions[bracket.a].codes[index], data);
  const hb = codeDegrees(data.directions[bracket.b].codes[index], data);
  if (ha === null && hb === null) return -90;
  if (ha === null) return hb;
  if (hb === null || bracket.t === 0) return ha;
  return ha + (hb - ha) * bracket.t;
}
