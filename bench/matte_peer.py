#!/usr/bin/python3
"""The peer: information-flow matting (OpenCV's alphamat, Debian's
python3-opencv) on DIR/image.jpg with DIR/trimap.png, as MATTE_BENCH
('matte', DIR) runs RWMATTE.  Writes DIR/peer.png (RGBA: the image's own
colours and the alpha, as alphamat gives no foreground colour) and
DIR/peer.txt (seconds and the process's peak memory in MB).

    /usr/bin/python3 bench/matte_peer.py DIR
"""
import resource
import sys
import time

import cv2
import numpy as np

folder = sys.argv[1]
start = time.time()
image = cv2.imread(folder + "/image.jpg", cv2.IMREAD_COLOR)
trimap = cv2.imread(folder + "/trimap.png", cv2.IMREAD_GRAYSCALE)
alpha = cv2.alphamat.infoFlow(image, trimap)
seconds = time.time() - start
rgba = np.dstack([image, alpha])
rgba[alpha == 0, :3] = 0
cv2.imwrite(folder + "/peer.png", rgba)
peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024
with open(folder + "/peer.txt", "w") as out:
    out.write("%.2f %.0f\n" % (seconds, peak))
