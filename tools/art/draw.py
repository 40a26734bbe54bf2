#!/usr/bin/python3
"""Regenerate every picture under assets/.

    /usr/bin/python3 tools/art/draw.py            # everything
    /usr/bin/python3 tools/art/draw.py icons splash  # only some groups

Groups: icons, toolbar, statusbar, splash, joblist, formats, monitor, digits,
progress, option, update, about, english (the skins with words, in English).
Needs python3-pil (Pillow).
"""

import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

from artlib import save  # noqa: E402
import appsvg  # noqa: E402
import icons  # noqa: E402
import toolbar  # noqa: E402

ASSETS = os.path.normpath(os.path.join(HERE, "..", "..", "assets"))


def out(*parts):
    return os.path.join(ASSETS, *parts)


def save_1x_2x(render, base, size):
    """Write base.png at size and base@2x.png at twice the size."""
    save(render(size), out(base + ".png"))
    save(render(2 * size), out(base + "@2x.png"))


def g_icons():
    save(toolbar.render_app(256), out("icons", "sveltra.png"))
    for px in (16, 24, 32, 48, 64, 128):
        save(toolbar.render_app(px), out("icons", "sveltra-%d.png" % px))
        save(toolbar.render_app(2 * px), out("icons", "sveltra-%d@2x.png" % px))
    # The desktop's icon theme also takes a scalable one.
    with open(out("icons", "sveltra.svg"), "w", encoding="utf-8") as f:
        f.write(appsvg.app_svg())


def g_toolbar():
    for n, fn, _ in toolbar.TOOLBAR:
        save_1x_2x(lambda px, fn=fn: toolbar.render_tool(fn, px), "toolbar/%02d" % n, 32)


def g_statusbar():
    for n, fn, _ in icons.STATUSBAR:
        save_1x_2x(lambda px, fn=fn: icons.render(fn, px), "statusbar/%02d" % n, 16)


def g_joblist():
    for n, fn, _ in icons.JOBLIST:
        save_1x_2x(lambda px, fn=fn: icons.render(fn, px), "joblist/%02d" % n, 16)


def g_formats():
    for n, fn, _ in icons.FORMATS:
        save_1x_2x(lambda px, fn=fn: icons.render(fn, px), "formats/%02d" % n, 16)


def g_splash():
    import skins
    save(skins.splash(), out("splash", "background.png"))


def g_monitor():
    import skins
    save(skins.monitor_bg(), out("monitor", "background.png"))
    for i, img in enumerate(skins.monitor_frames(), start=1):
        save(img, out("monitor", "icons", "%02d.png" % i))
    save(skins.exit_button(False), out("monitor", "exit.png"))
    save(skins.exit_button(True), out("monitor", "exit_down.png"))


def g_digits():
    import digits
    save(digits.glyph_strip(), out("digits", "glyphs.png"))


def g_progress():
    import progress
    for i, img in enumerate(progress.strips(), start=1):
        save(img, out("progress", "%02d.png" % i))


def g_option():
    import skins
    save(skins.option_bg(), out("option", "background.png"))
    for n, fn, _ in icons.OPTION_ICONS:
        save(icons.render(fn, 48, lw=0.75), out("option", "icons", "%02d.png" % n))
    b = [
        (1, skins.option_arrow(True, False)),
        (2, skins.option_arrow(True, True)),
        (3, skins.option_arrow(False, False)),
        (4, skins.option_arrow(False, True)),
        (5, skins.ok_button(False)),
        (6, skins.ok_button(True)),
        (7, skins.option_arrow(True, False, disabled=True)),
        (8, skins.option_arrow(False, False, disabled=True)),
        (9, skins.hand_cursor()),
    ]
    for n, img in b:
        save(img, out("option", "buttons", "%02d.png" % n))
    save(skins.exit_button(False), out("option", "exit.png"))
    save(skins.exit_button(True), out("option", "exit_down.png"))


def g_update():
    import skins
    save(skins.update_bg(), out("update", "background.png"))
    save(skins.download_button(), out("update", "download.png"))
    save(skins.exit_button(False), out("update", "exit.png"))
    save(skins.exit_button(True), out("update", "exit_down.png"))


def g_about():
    import skins
    save(skins.about_bg(), out("about", "background.png"))
    save(skins.about_hotspot(), out("about", "image1.png"))
    save(skins.about_me(), out("about", "me.png"))
    save(skins.exit_button(False), out("about", "exit.png"))
    save(skins.exit_button(True), out("about", "exit_down.png"))


def g_english():
    """The skins that carry words, with English words, in an en/ folder beside each picture."""
    import skins
    skins.LANG = "en"
    try:
        save(skins.splash(), out("splash", "en", "background.png"))
        save(skins.monitor_bg(), out("monitor", "en", "background.png"))
        save(skins.option_bg(), out("option", "en", "background.png"))
        save(skins.ok_button(False), out("option", "buttons", "en", "05.png"))
        save(skins.ok_button(True), out("option", "buttons", "en", "06.png"))
        save(skins.update_bg(), out("update", "en", "background.png"))
        save(skins.download_button(), out("update", "en", "download.png"))
        save(skins.about_bg(), out("about", "en", "background.png"))
        save(skins.about_me(), out("about", "en", "me.png"))
    finally:
        skins.LANG = "zh"


GROUPS = {
    "icons": g_icons, "toolbar": g_toolbar, "statusbar": g_statusbar, "splash": g_splash,
    "joblist": g_joblist, "formats": g_formats, "monitor": g_monitor, "digits": g_digits,
    "progress": g_progress, "option": g_option, "update": g_update, "about": g_about,
    "english": g_english,
}


def main(argv):
    names = argv or list(GROUPS)
    for n in names:
        if n not in GROUPS:
            sys.exit("unknown group %r; known: %s" % (n, ", ".join(GROUPS)))
    for n in names:
        GROUPS[n]()
        print("drew", n)


if __name__ == "__main__":
    main(sys.argv[1:])
