"""Maps quantized neural-network models onto neural-processor meshes and runs them."""
