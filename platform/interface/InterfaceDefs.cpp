/*
 * Colour helpers of the interface kit.
 */
#include <GraphicsDefs.h>
#include <InterfaceDefs.h>


const rgb_color B_TRANSPARENT_COLOR = {0x77, 0x74, 0x77, 0x00};


namespace {

uint8
tint_component(uint8 value, float tint)
{
	float result;
	if (tint < 1.0f)
		result = 255.0f - (255.0f - value) * tint;
	else
		result = value * (2.0f - tint);
	if (result < 0.0f)
		return 0;
	if (result > 255.0f)
		return 255;
	return static_cast<uint8>(result);
}

} // namespace


rgb_color
tint_color(rgb_color color, float tint)
{
	rgb_color result;
	result.red = tint_component(color.red, tint);
	result.green = tint_component(color.green, tint);
	result.blue = tint_component(color.blue, tint);
	result.alpha = color.alpha;
	return result;
}
