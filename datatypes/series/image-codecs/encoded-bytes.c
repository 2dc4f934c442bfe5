/* encoded-bytes.c: the growing byte buffer the encoders write into. */
#include <stdlib.h>
#include <string.h>

#include "datatypes/series/image-codecs/pixel-sink.h"

int encoded_bytes_append(EncodedBytes* bytes, const void* data, size_t size) {
  if (size > bytes->capacity - bytes->size) {
    size_t capacity = bytes->capacity ? bytes->capacity : 4096;
    while (capacity - bytes->size < size) capacity *= 2;
    uint8_t* grown = (uint8_t*)realloc(bytes->data, capacity);
    if (!grown) return 0;
    bytes->data = grown;
    bytes->capacity = capacity;
  }
  memcpy(bytes->data + bytes->size, data, size);
  bytes->size += size;
  return 1;
}
