// image-codec-routines.h: the routines of the image codec objects: one encoder per format over
// the image store, and one decoder, which finds the format from the bytes themselves.
#pragma once

namespace qel {

// Adds image-decode and image-encode-<format> (bmp, png, gif, jpeg, tiff) to the routine table
// (once). Encoders take [img [image!] where [any-type!]] and ignore where; the decoder takes
// [data [any-type!]]: a binary! is decoded from its bytes, a file! read and decoded.
void register_image_codec_routines();

}  // namespace qel
