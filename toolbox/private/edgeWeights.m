function w = edgeWeights (G, noise)
% The contrast of an edge is judged against the colour noise of the region
% its source pixel is likely in (NOISE, one value a node); each edge's
% weight is combined with its reverse edge's, so the weights are symmetric.
  w = sqrt ((exp (-G.dcF ./ noise(G.s)) ./ G.rootF) .* ...
            (exp (-G.dcB ./ noise(G.t)) ./ G.rootB));
end
