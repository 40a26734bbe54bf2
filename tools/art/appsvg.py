"""The application icon as a scalable SVG for the desktop's icon theme (hicolor/scalable).

The same drawing as toolbar.app_icon at full size, on the same 256-unit grid and palette:
the rounded navy tile with its cyan glow, the faint level bars pinched at the waist, the
white note and the two squeeze chevrons.
"""

from artlib import CYAN, CYAN_HI, NAVY0, NAVY2, WHITE


def _hex(rgb):
    return "#%02x%02x%02x" % rgb


def app_svg():
    bars = []
    for i in range(11):
        x = 44 + i * 16.8
        d = abs(i - 5) / 5.0
        h = 30 + 120 * d ** 1.4
        bars.append('<rect x="%.1f" y="%.1f" width="10" height="%.1f" rx="5" fill="%s" fill-opacity="0.18"/>'
                    % (x - 5, 128 - h / 2, h, _hex(CYAN)))
    chevrons = []
    for sgn in (-1, 1):
        base = 128 + sgn * 100
        tip = 128 + sgn * 62
        chevrons.append('<polyline points="%d,98 %d,128 %d,158" fill="none" stroke="%s" stroke-width="13" '
                        'stroke-linecap="round" stroke-linejoin="round" filter="url(#glow)"/>'
                        % (base, tip, base, _hex(CYAN)))
    return """<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">
  <defs>
    <linearGradient id="tile" x1="0" y1="12" x2="0" y2="244" gradientUnits="userSpaceOnUse">
      <stop offset="0" stop-color="#283496"/>
      <stop offset="0.55" stop-color="{navy2}"/>
      <stop offset="1" stop-color="{navy0}"/>
    </linearGradient>
    <radialGradient id="halo" cx="128" cy="150" r="130" gradientUnits="userSpaceOnUse">
      <stop offset="0" stop-color="{cyan}" stop-opacity="0.37"/>
      <stop offset="0.6" stop-color="{cyan}" stop-opacity="0.08"/>
      <stop offset="1" stop-color="{cyan}" stop-opacity="0"/>
    </radialGradient>
    <linearGradient id="note" x1="0" y1="60" x2="0" y2="200" gradientUnits="userSpaceOnUse">
      <stop offset="0" stop-color="{white}"/>
      <stop offset="1" stop-color="{cyanhi}"/>
    </linearGradient>
    <filter id="glow" x="-30%" y="-30%" width="160%" height="160%">
      <feGaussianBlur stdDeviation="4" result="blur"/>
      <feMerge><feMergeNode in="blur"/><feMergeNode in="SourceGraphic"/></feMerge>
    </filter>
    <filter id="shadow" x="-10%" y="-10%" width="120%" height="125%">
      <feGaussianBlur in="SourceAlpha" stdDeviation="3"/>
      <feOffset dy="4" result="drop"/>
      <feComponentTransfer><feFuncA type="linear" slope="0.43"/></feComponentTransfer>
      <feMerge><feMergeNode/><feMergeNode in="SourceGraphic"/></feMerge>
    </filter>
  </defs>
  <rect x="12" y="12" width="232" height="232" rx="56" fill="url(#tile)" filter="url(#shadow)"/>
  <rect x="12" y="12" width="232" height="232" rx="56" fill="url(#halo)"/>
  <path d="M68 12 h120 a56 56 0 0 1 56 56 v-4 a56 56 0 0 0 -56 -52 h-120 a56 56 0 0 0 -56 52 v4 a56 56 0 0 1 56 -56 z"
        fill="{white}" fill-opacity="0.24"/>
  {bars}
  <g fill="url(#note)" filter="url(#glow)">
    <ellipse cx="110" cy="176" rx="31" ry="23" transform="rotate(-24 110 176)"/>
    <rect x="132" y="62" width="14" height="110"/>
    <path d="M139 62 C158 100 204 100 180 154 C186 120 162 112 140 100 Z"/>
  </g>
  {chevrons}
</svg>
""".format(navy2=_hex(NAVY2), navy0=_hex(NAVY0), cyan=_hex(CYAN), white=_hex(WHITE), cyanhi=_hex(CYAN_HI),
           bars="\n  ".join(bars), chevrons="\n  ".join(chevrons))
