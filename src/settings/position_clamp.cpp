#include "settings/position_clamp.h"

static int clampedCoordinate(int value)
{
    return value > highestKeptCoordinate || value < lowestKeptCoordinate ? lowestKeptCoordinate : value;
}

WindowPosition clampedPosition(WindowPosition position)
{
    return {clampedCoordinate(position.x), clampedCoordinate(position.y)};
}
