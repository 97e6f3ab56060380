/* The image writer's implementation, compiled once and on its own so that
   its code keeps its own warnings out of ours. */
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>
