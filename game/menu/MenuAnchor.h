#pragma once

#include "game/menu/MenuRect.h"

#include <cstdint>

// Which point of a rectangle a placement refers to: an edge's middle, a
// corner or the centre. Moving a parent panel moves what is anchored to it.
enum class MenuAnchor : uint8_t
{
    TopLeft,
    Top,
    TopRight,
    Left,
    Centre,
    Right,
    BottomLeft,
    Bottom,
    BottomRight,
};

// The anchor's point of a rectangle.
MenuPoint AnchorPoint(const MenuRect& rect, MenuAnchor anchor);
// A width x height rectangle whose own anchor point lies at the parent's
// anchor point moved by offset.
MenuRect PlaceRect(const MenuRect& parent, MenuAnchor anchor, MenuPoint offset, float width, float height);
// The texture drawer's placement flags (KVRDRAWANCHOR) for the anchor.
uint8_t ToDrawAnchor(MenuAnchor anchor);
