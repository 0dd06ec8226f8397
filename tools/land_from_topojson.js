#!/usr/bin/env node
// Turns the Natural Earth land polygons that the npm package "world-atlas"
// carries as TopoJSON into tools/land_outlines.txt, the small plain-text
// file make_artwork reads to draw the world maps.  Run it once by hand:
//
//   mkdir /tmp/atlas && cd /tmp/atlas && npm pack world-atlas && tar xzf world-atlas-*.tgz
//   node tools/land_from_topojson.js /tmp/atlas/package/land-50m.json > tools/land_outlines.txt
//
// Outlines are simplified (Douglas-Peucker, TOLERANCE degrees), islands
// smaller than MIN_AREA square degrees are dropped, and points are written
// in hundredths of a degree.  The map draws 1.4 pixels per degree, so
// neither loss is visible.
'use strict';
const fs = require('fs');

const TOLERANCE = 0.08;
const MIN_AREA = 0.04;

function decodeArcs(topo) {
  const [sx, sy] = topo.transform.scale;
  const [tx, ty] = topo.transform.translate;
  return topo.arcs.map((arc) => {
    let x = 0, y = 0;
    return arc.map(([dx, dy]) => {
      x += dx; y += dy;
      return [x * sx + tx, y * sy + ty];
    });
  });
}

function ringFromArcs(arcs, indexes) {
  const ring = [];
  for (const i of indexes) {
    let pts = i >= 0 ? arcs[i] : arcs[~i].slice().reverse();
    if (ring.length) pts = pts.slice(1);  // arcs share their end points
    for (const p of pts) ring.push(p);
  }
  return ring;
}

function simplify(points, tol) {
  if (points.length < 4) return points;
  const keep = new Uint8Array(points.length);
  keep[0] = keep[points.length - 1] = 1;
  const stack = [[0, points.length - 1]];
  while (stack.length) {
    const [a, b] = stack.pop();
    const [ax, ay] = points[a], [bx, by] = points[b];
    const dx = bx - ax, dy = by - ay, len = Math.hypot(dx, dy);
    let best = -1, bestDist = tol;
    for (let i = a + 1; i < b; i++) {
      const [px, py] = points[i];
      const d = len > 0 ? Math.abs(dx * (py - ay) - dy * (px - ax)) / len
                        : Math.hypot(px - ax, py - ay);
      if (d > bestDist) { bestDist = d; best = i; }
    }
    if (best >= 0) { keep[best] = 1; stack.push([a, best], [best, b]); }
  }
  return points.filter((_, i) => keep[i]);
}

function area(ring) {
  let s = 0;
  for (let i = 0, j = ring.length - 1; i < ring.length; j = i++)
    s += (ring[j][0] - ring[i][0]) * (ring[j][1] + ring[i][1]);
  return Math.abs(s / 2);
}

// The rings are drawn on a flat map, so longitudes are made continuous: a
// ring that crosses the date line (eastern Siberia, Fiji) keeps going past
// 180 degrees, and the map draws it a second time shifted by 360.  A ring
// that goes all the way round the globe (Antarctica) is closed through the
// pole along the bottom edge of the map.
function centre(ring) {
  const xs = ring.map((p) => p[0]);
  const k = Math.round(-(Math.min(...xs) + Math.max(...xs)) / 2 / 360);
  return ring.map(([x, y]) => [x + 360 * k, y]);
}

function unwrap(ring) {
  const out = [ring[0].slice()];
  let shift = 0;
  for (let i = 1; i < ring.length; i++) {
    const step = ring[i][0] - ring[i - 1][0];
    if (step > 180) shift -= 360;
    if (step < -180) shift += 360;
    out.push([ring[i][0] + shift, ring[i][1]]);
  }
  if (Math.abs(shift) < 180) return centre(out);
  const pole = out[0][1] < 0 ? -90 : 90;
  const first = out[0], last = out[out.length - 1];
  return [...out, [last[0], pole], [first[0], pole], first];
}

const topo = JSON.parse(fs.readFileSync(process.argv[2], 'utf8'));
const arcs = decodeArcs(topo);
const out = [];
let points = 0;
for (const geom of topo.objects.land.geometries) {
  const polygons = geom.type === 'Polygon' ? [geom.arcs] : geom.arcs;
  for (const polygon of polygons) {
    for (const indexes of polygon) {
      const ring = unwrap(ringFromArcs(arcs, indexes));
      if (area(ring) < MIN_AREA) continue;
      const simple = simplify(ring, TOLERANCE);
      if (simple.length < 4) continue;
      const ints = simple.map(([x, y]) => [Math.round(x * 100), Math.round(y * 100)]);
      out.push(ints.map(([x, y]) => x + ',' + y).join(' '));
      points += ints.length;
    }
  }
}
process.stdout.write(
  '# Land outlines from Natural Earth (public domain), via the npm package world-atlas.\n' +
  '# One closed ring per line: longitude,latitude pairs in hundredths of a degree.\n' +
  '# Longitudes run on past 180 where a ring crosses the date line.\n' +
  '# Rings are filled even-odd, so lakes and inland seas come out as holes.\n' +
  '# ' + out.length + ' rings, ' + points + ' points.  Made by tools/land_from_topojson.js.\n' +
  out.join('\n') + '\n');
