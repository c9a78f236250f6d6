// The terrain in WebGL2: one vertex per grid point, its place read from the
// height texture by gl_VertexID; each texel shaded from its own slope and its
// angle code (or, with azimuths, the two around the sun's). A second pass writes each texel's index, to find the one under the mouse.
// Everything is drawn in the map's own proportions with its longer side 1, whatever
// the cell size; heights as levels from the lowest (0) to the highest (1).

// The most relief drawn, in lengths of the map's longer side: steeper maps are drawn
// flatter, and the page says so.
const kSteepest = 0.5;

const kVertexShader = `#version 300 es
precision highp float;
precision highp int;
uniform highp sampler2D uLevels;
uniform mat4 uViewProjection;
uniform ivec2 uGrid;
// The points drawn: a side of one grid point has two, one cell apart, of its height.
uniform ivec2 uMesh;
uniform float uStep;
uniform float uRelief;
uniform float uExaggeration;
out vec2 vGrid;
void main() {
  ivec2 m = ivec2(gl_VertexID % uMesh.x, gl_VertexID / uMesh.x);
  float level = texelFetch(uLevels, min(m, uGrid - 1), 0).r;
  vGrid = vec2(m);
  vec2 centre = vec2(uMesh - 1) * 0.5;
  gl_Position = uViewProjection * vec4((float(m.x) - centre.x) * uStep, (level - 0.5) * uRelief * uExaggeration,
                                       (float(m.y) - centre.y) * uStep, 1.0);
}`;

const kShadeShader = `#version 300 es
precision highp float;
precision highp int;
precision highp usampler2D;
uniform highp sampler2D uLevels;
uniform usampler2D uCodes;
uniform usampler2D uCodesB;
uniform bool uAzimuthal;
uniform float uMix;
uniform float uElevation;
uniform vec2 uAngles;
uniform ivec2 uGrid;
uniform float uFlat;
uniform vec3 uSun;
uniform uint uThreshold;
uniform uint uFull;
uniform uint uTree;
uniform bool uShadows;
uniform int uHover;
in vec2 vGrid;
out vec4 colour;
float z(ivec2 t) { return texelFetch(uLevels, clamp(t, ivec2(0), uGrid - 1), 0).r; }
void main() {
  ivec2 t = clamp(ivec2(floor(vGrid + 0.5)), ivec2(0), uGrid - 1);
  // The texel's own slope: central differences, one-sided at the edges. In levels a
  // point, the normal's upward part is cell / relief (uFlat).
  ivec2 w = max(t - ivec2(1, 0), ivec2(0)), e = min(t + ivec2(1, 0), uGrid - 1);
  ivec2 n = max(t - ivec2(0, 1), ivec2(0)), s = min(t + ivec2(0, 1), uGrid - 1);
  float dx = (z(e) - z(w)) / max(float(e.x - w.x), 1.0);
  float dy = (z(s) - z(n)) / max(float(s.y - n.y), 1.0);
  vec3 normal = normalize(vec3(-dx, uFlat, -dy));
  uint code = texelFetch(uCodes, t, 0).r;
  bool tree = code == uTree;
  bool shadowed = tree || (code <= uFull && code > uThreshold);
  if (uAzimuthal) {
    // Between the two directions around the sun's azimuth, as the page's shadowedAt.
    uint codeB = texelFetch(uCodesB, t, 0).r;
    float ha = uAngles.x + float(code) * uAngles.y / float(uFull);
    float hb = uAngles.x + float(codeB) * uAngles.y / float(uFull);
    bool noA = code > uFull, noB = codeB > uFull;
    float h = noA && noB ? -90.0 : noA ? hb : (noB || uMix == 0.0) ? ha : ha + (hb - ha) * uMix;
    shadowed = h > uElevation;
  }
  float lambert = max(dot(normal, uSun), 0.0);
  float direct = uShadows && shadowed ? 0.0 : lambert;
  vec3 ground = mix(vec3(0.55, 0.62, 0.42), vec3(0.86, 0.80, 0.68), z(t));
  vec3 base = tree ? vec3(0.30, 0.46, 0.28) : ground;
  // Sky light, a little blue, where the sun does not reach.
  vec3 lit = base * ((0.26 + 0.12 * normal.y) * vec3(0.86, 0.94, 1.12) + 1.05 * direct);
  if (t.y * uGrid.x + t.x == uHover) lit = mix(lit, vec3(1.0, 0.1, 0.1), 0.7);
  colour = vec4(lit, 1.0);
}`;

const kPickShader = `#version 300 es
precision highp float;
precision highp int;
uniform ivec2 uGrid;
in vec2 vGrid;
out vec4 colour;
void main() {
  ivec2 t = clamp(ivec2(floor(vGrid + 0.5)), ivec2(0), uGrid - 1);
  uint id = uint(t.y * uGrid.x + t.x) + 1u;
  colour = vec4(float(id & 255u), float((id >> 8) & 255u), float((id >> 16) & 255u), 255.0) / 255.0;
}`;

function compile(gl, type, source) {
  const shader = gl.createShader(type);
  gl.shaderSource(shader, source);
  gl.compileShader(shader);
  if (!gl.getShaderParameter(shader, gl.COMPILE_STATUS)) throw new Error("shader: " + gl.getShaderInfoLog(shader));
  return shader;
}

function link(gl, fragmentSource) {
  const program = gl.createProgram();
  gl.attachShader(program, compile(gl, gl.VERTEX_SHADER, kVertexShader));
  gl.attachShader(program, compile(gl, gl.FRAGMENT_SHADER, fragmentSource));
  gl.linkProgram(program);
  if (!gl.getProgramParameter(program, gl.LINK_STATUS)) throw new Error("program: " + gl.getProgramInfoLog(program));
  const uniforms = {};
  const count = gl.getProgramParameter(program, gl.ACTIVE_UNIFORMS);
  for (let i = 0; i < count; ++i) {
    const name = gl.getActiveUniform(program, i).name;
    uniforms[name] = gl.getUniformLocation(program, name);
  }
  return { program, uniforms };
}

function texture(gl, internalFormat, format, type, columns, rows, values) {
  const t = gl.createTexture();
  gl.bindTexture(gl.TEXTURE_2D, t);
  gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_MIN_FILTER, gl.NEAREST);
  gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_MAG_FILTER, gl.NEAREST);
  gl.texImage2D(gl.TEXTURE_2D, 0, internalFormat, columns, rows, 0, format, type, values);
  return t;
}

// Rows of triangle strips joined by the restart index, which WebGL2 always honours.
function stripIndices(columns, rows) {
  const indices = new Uint32Array((rows - 1) * (2 * columns + 1));
  let k = 0;
  for (let r = 0; r + 1 < rows; ++r) {
    for (let c = 0; c < columns; ++c) {
      indices[k++] = r * columns + c;
      indices[k++] = (r + 1) * columns + c;
    }
    indices[k++] = 0xffffffff;
  }
  return indices;
}

// Column-major 4 x 4 matrices.
function multiply(a, b) {
  const m = new Float32Array(16);
  for (let c = 0; c < 4; ++c)
    for (let r = 0; r < 4; ++r) {
      let sum = 0;
      for (let k = 0; k < 4; ++k) sum += a[k * 4 + r] * b[c * 4 + k];
      m[c * 4 + r] = sum;
    }
  return m;
}

function perspective(fovy, aspect, near, far) {
  const f = 1 / Math.tan(fovy / 2);
  const m = new Float32Array(16);
  m[0] = f / aspect;
  m[5] = f;
  m[10] = (far + near) / (near - far);
  m[11] = -1;
  m[14] = (2 * far * near) / (near - far);
  return m;
}

function lookAt(eye, target) {
  const sub = (a, b) => [a[0] - b[0], a[1] - b[1], a[2] - b[2]];
  const cross = (a, b) => [a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]];
  const unit = (a) => {
    const l = Math.hypot(a[0], a[1], a[2]);
    return [a[0] / l, a[1] / l, a[2] / l];
  };
  const dot = (a, b) => a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
  const z = unit(sub(eye, target));
  const x = unit(cross([0, 1, 0], z));
  const y = cross(z, x);
  return new Float32Array([x[0], y[0], z[0], 0, x[1], y[1], z[1], 0, x[2], y[2], z[2], 0,
                           -dot(x, eye), -dot(y, eye), -dot(z, eye), 1]);
}

class TerrainRenderer {
  constructor(canvas, data) {
    const gl = canvas.getContext("webgl2", { antialias: true, preserveDrawingBuffer: true });
    if (!gl) throw new Error("this browser gives no WebGL2 context");
    this.gl = gl;
    this.canvas = canvas;
    this.data = data;
    const { columns, rows, cell } = data.grid;
    this.mesh = { columns: Math.max(columns, 2), rows: Math.max(rows, 2) };
    this.step = 1 / Math.max(this.mesh.columns, this.mesh.rows);
    // In doubles: the relief against the map's width, and the cell against the relief.
    const span = data.highest - data.lowest;
    const relief = (span / cell) * this.step;
    this.relief = Math.min(relief, kSteepest);
    this.flattened = relief > kSteepest ? relief / kSteepest : 1;
    this.flat = Math.min(1e9, Math.max(1e-9, cell / span));
    gl.pixelStorei(gl.UNPACK_ALIGNMENT, 1);
    this.levels = texture(gl, gl.R32F, gl.RED, gl.FLOAT, columns, rows, data.levels);
    this.codes = data.directions.map((d) =>
      texture(gl, gl.R16UI, gl.RED_INTEGER, gl.UNSIGNED_SHORT, columns, rows, d.codes));
    this.indexCount = (this.mesh.rows - 1) * (2 * this.mesh.columns + 1);
    this.vertexArray = gl.createVertexArray();
    gl.bindVertexArray(this.vertexArray);
    gl.bindBuffer(gl.ELEMENT_ARRAY_BUFFER, gl.createBuffer());
    gl.bufferData(gl.ELEMENT_ARRAY_BUFFER, stripIndices(this.mesh.columns, this.mesh.rows), gl.STATIC_DRAW);
    this.shade = link(gl, kShadeShader);
    this.pickProgram = link(gl, kPickShader);
    this.pickTarget = null;
  }

  resize() {
    const ratio = window.devicePixelRatio || 1;
    const width = Math.max(1, Math.round(this.canvas.clientWidth * ratio));
    const height = Math.max(1, Math.round(this.canvas.clientHeight * ratio));
    if (this.canvas.width !== width || this.canvas.height !== height) {
      this.canvas.width = width;
      this.canvas.height = height;
    }
  }

  // `view.shift`: how far right, in clip units, the terrain's centre is drawn (beside the panel).
  viewProjection(view) {
    const distance = view.distance;
    const eye = [
      distance * Math.cos(view.pitch) * Math.sin(view.yaw),
      distance * Math.sin(view.pitch),
      distance * Math.cos(view.pitch) * Math.cos(view.yaw),
    ];
    const aspect = this.canvas.width / this.canvas.height;
    const projection = perspective(0.8, aspect, distance / 50, distance * 4 + this.relief * view.exaggeration);
    projection[8] = -(view.shift || 0);
    return multiply(projection, lookAt(eye, [0, 0, 0]));
  }

  bindCommon(program, view) {
    const gl = this.gl;
    const u = program.uniforms;
    gl.useProgram(program.program);
    gl.uniformMatrix4fv(u.uViewProjection, false, this.viewProjection(view));
    gl.uniform2i(u.uGrid, this.data.grid.columns, this.data.grid.rows);
    gl.uniform2i(u.uMesh, this.mesh.columns, this.mesh.rows);
    gl.uniform1f(u.uStep, this.step);
    gl.uniform1f(u.uRelief, this.relief);
    gl.uniform1f(u.uExaggeration, view.exaggeration);
    gl.activeTexture(gl.TEXTURE0);
    gl.bindTexture(gl.TEXTURE_2D, this.levels);
    gl.uniform1i(u.uLevels, 0);
  }

  drawMesh() {
    const gl = this.gl;
    gl.enable(gl.DEPTH_TEST);
    gl.bindVertexArray(this.vertexArray);
    gl.drawElements(gl.TRIANGLE_STRIP, this.indexCount, gl.UNSIGNED_INT, 0);
  }

  // `sun`: {vector, direction (index), elevation, bracket (with azimuths)}; `view`: camera and switches.
  draw(sun, view) {
    const gl = this.gl;
    this.resize();
    gl.bindFramebuffer(gl.FRAMEBUFFER, null);
    gl.viewport(0, 0, this.canvas.width, this.canvas.height);
    gl.clearColor(0.62, 0.72, 0.81, 1);
    gl.clear(gl.COLOR_BUFFER_BIT | gl.DEPTH_BUFFER_BIT);
    this.bindCommon(this.shade, view);
    const u = this.shade.uniforms;
    gl.activeTexture(gl.TEXTURE1);
    const bracket = this.data.azimuthal ? sun.bracket : { a: sun.direction, b: sun.direction, t: 0 };
    gl.bindTexture(gl.TEXTURE_2D, this.codes[bracket.a]);
    gl.uniform1i(u.uCodes, 1);
    gl.activeTexture(gl.TEXTURE2);
    gl.bindTexture(gl.TEXTURE_2D, this.codes[bracket.b]);
    gl.uniform1i(u.uCodesB, 2);
    gl.uniform1i(u.uAzimuthal, this.data.azimuthal ? 1 : 0);
    gl.uniform1f(u.uMix, bracket.t);
    gl.uniform1f(u.uElevation, sun.elevation);
    gl.uniform2f(u.uAngles, this.data.lowestAngle, this.data.highestAngle - this.data.lowestAngle);
    gl.uniform1f(u.uFlat, this.flat);
    gl.uniform3fv(u.uSun, sun.vector);
    gl.uniform1ui(u.uThreshold, shadowThreshold(sun.elevation, this.data));
    gl.uniform1ui(u.uFull, this.data.full);
    gl.uniform1ui(u.uTree, treeCode(this.data));
    gl.uniform1i(u.uShadows, view.shadows ? 1 : 0);
    gl.uniform1i(u.uHover, view.hover);
    this.drawMesh();
  }

  // The index pass into its own framebuffer, left bound: each pixel the grid index + 1, 0 where no terrain is.
  drawIndices(view) {
    const gl = this.gl;
    const width = this.canvas.width, height = this.canvas.height;
    if (!this.pickTarget || this.pickTarget.width !== width || this.pickTarget.height !== height) {
      const framebuffer = gl.createFramebuffer();
      gl.bindFramebuffer(gl.FRAMEBUFFER, framebuffer);
      for (const [format, attachment] of [[gl.RGBA8, gl.COLOR_ATTACHMENT0], [gl.DEPTH_COMPONENT24, gl.DEPTH_ATTACHMENT]]) {
        const buffer = gl.createRenderbuffer();
        gl.bindRenderbuffer(gl.RENDERBUFFER, buffer);
        gl.renderbufferStorage(gl.RENDERBUFFER, format, width, height);
        gl.framebufferRenderbuffer(gl.FRAMEBUFFER, attachment, gl.RENDERBUFFER, buffer);
      }
      this.pickTarget = { framebuffer, width, height };
    }
    gl.bindFramebuffer(gl.FRAMEBUFFER, this.pickTarget.framebuffer);
    gl.viewport(0, 0, width, height);
    gl.clearColor(0, 0, 0, 0);
    gl.clear(gl.COLOR_BUFFER_BIT | gl.DEPTH_BUFFER_BIT);
    this.bindCommon(this.pickProgram, view);
    this.drawMesh();
  }

  // The grid index under a point of the canvas in CSS pixels, or -1.
  pick(x, y, view) {
    const gl = this.gl;
    const height = this.canvas.height;
    this.drawIndices(view);
    const ratio = this.canvas.width / this.canvas.clientWidth;
    const pixel = new Uint8Array(4);
    gl.readPixels(Math.floor(x * ratio), height - 1 - Math.floor(y * ratio), 1, 1, gl.RGBA, gl.UNSIGNED_BYTE, pixel);
    gl.bindFramebuffer(gl.FRAMEBUFFER, null);
    return pixel[0] + pixel[1] * 256 + pixel[2] * 65536 - 1;
  }

  // The share of the canvas the terrain covers.
  coverage(view) {
    const gl = this.gl;
    this.drawIndices(view);
    const pixels = new Uint8Array(this.canvas.width * this.canvas.height * 4);
    gl.readPixels(0, 0, this.canvas.width, this.canvas.height, gl.RGBA, gl.UNSIGNED_BYTE, pixels);
    gl.bindFramebuffer(gl.FRAMEBUFFER, null);
    let covered = 0;
    for (let i = 3; i < pixels.length; i += 4) covered += pixels[i] !== 0 ? 1 : 0;
    return covered / (this.canvas.width * this.canvas.height);
  }

  // The variance of the grey levels (0 to 255) of the picture last drawn.
  pixelVariance() {
    const gl = this.gl;
    const width = this.canvas.width, height = this.canvas.height;
    const pixels = new Uint8Array(width * height * 4);
    gl.bindFramebuffer(gl.FRAMEBUFFER, null);
    gl.readPixels(0, 0, width, height, gl.RGBA, gl.UNSIGNED_BYTE, pixels);
    let sum = 0, squares = 0;
    for (let i = 0; i < pixels.length; i += 4) {
      const grey = (pixels[i] + pixels[i + 1] + pixels[i + 2]) / 3;
      sum += grey;
      squares += grey * grey;
    }
    const n = width * height;
    return squares / n - (sum / n) * (sum / n);
  }
}
