play --size x 10
