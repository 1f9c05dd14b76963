// Expands a file with the peer: node explode.mjs INPUT OUTPUT
import fs from 'node:fs'
import { pipeline } from 'node:stream/promises'
import { explode, stream } from 'node-pkware'

const [input, output] = process.argv.slice(2)
await pipeline(fs.createReadStream(input), stream.through(explode()), fs.createWriteStream(output))
