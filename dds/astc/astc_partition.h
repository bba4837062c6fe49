// Which partition each texel of a block belongs to: a hash of the block's
// partition seed, the partition count and the texel's position.
#ifndef DDS_ASTC_PARTITION_H
#define DDS_ASTC_PARTITION_H

// The partition (0 to count - 1) of texel (x, y) for `seed` (0 to 1023)
// and `count` (2 to 4).  `smallBlock`: the footprint has fewer than 31
// texels, whose coordinates are doubled first.
unsigned astcPartitionOf(unsigned seed, unsigned count, unsigned x, unsigned y, bool smallBlock);

#endif
