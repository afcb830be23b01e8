"""Where the items of the agent's tray menus are on the screen, so that the
tour can point at one and click it as a consultant would.

The menus are owner-drawn: every text item has one height (the menu font's
plus 5 pixels) and every separator 6 pixels (CSideBarMenu::MeasureItem), so
the open menu's window rectangle is enough to place each item."""

MENU_FRAME = 3        # the popup menu's border, measured under Wine
SEPARATOR_HEIGHT = 6  # CSideBarMenu::MeasureItem
SEPARATOR = None

# The items in order, by their Russian labels (shell/agent_menus.cpp).
MAIN_MENU = ("Открыть страницу консультаций", SEPARATOR, "Онлайн", "Отошел", "Оффлайн", SEPARATOR,
             "О программе...", SEPARATOR, "Выйти", "Закрыть")
SIGNED_OUT_MENU = ("Открыть страницу консультаций", SEPARATOR, "О программе...", SEPARATOR, "Вход",
                   "Закрыть")


def item_centre(rect, layout, label):
    """The screen point in the middle of the item with the label, or None
    when the rectangle is too small to hold the layout. A label the layout
    lacks (or a separator) is a ValueError."""
    if label is SEPARATOR or label not in layout:
        raise ValueError(f"no item {label!r} in the menu")
    left, top, right, bottom = rect
    separators = layout.count(SEPARATOR)
    texts = len(layout) - separators
    item_height = (bottom - top - 2 * MENU_FRAME - separators * SEPARATOR_HEIGHT) / texts
    if item_height <= 0 or right <= left:
        return None
    above = layout[:layout.index(label)]
    y = top + MENU_FRAME + sum(SEPARATOR_HEIGHT if item is SEPARATOR else item_height
                               for item in above)
    return (left + right) // 2, int(y + item_height / 2)
